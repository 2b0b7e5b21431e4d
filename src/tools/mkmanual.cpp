// mkmanual: renders the operator manual from Markdown to PDF at build time,
// with Qt's own Markdown reader and PDF writer.
//
//   mkmanual INPUT.md OUTPUT.pdf VERSION
//
// Pictures are found beside the input. A picture that cannot be loaded fails
// the build rather than leave a hole in the manual.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextStream>
#include <QTextTable>
#include <QUrl>

namespace {

int fail(const QString &text)
{
    QTextStream(stderr) << "mkmanual: " << text << '\n';
    return 1;
}

// Puts the version line under the first heading, so the source stays
// readable as it is.
QString withVersion(QString markdown, const QString &version)
{
    const qsizetype heading = markdown.indexOf(QLatin1String("# "));
    const qsizetype lineEnd = heading < 0 ? -1 : markdown.indexOf(u'\n', heading);
    if (lineEnd >= 0)
        markdown.insert(lineEnd + 1, QStringLiteral("\nVersion %1\n").arg(version));
    return markdown;
}

// Puts every picture the document names into the document itself (printing
// works on a copy that would not find files by a relative name) and scales
// it down to the text's width. Returns the names that did not load.
QStringList embedPictures(QTextDocument &document, const QDir &folder, qreal textWidth)
{
    QStringList missing;
    QTextCursor cursor(&document);
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            QTextImageFormat format = fragment.charFormat().toImageFormat();
            if (!format.isValid())
                continue;
            const QImage image(folder.filePath(format.name()));
            if (image.isNull()) {
                missing << format.name();
                continue;
            }
            document.addResource(QTextDocument::ImageResource, QUrl(format.name()), image);
            if (image.width() <= textWidth)
                continue;
            format.setWidth(textWidth);
            format.setHeight(textWidth * image.height() / image.width());
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(format);
        }
    return missing;
}

// Room above headings, so that each section stands apart.
void spaceHeadings(QTextDocument &document)
{
    QTextCursor cursor(&document);
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QTextBlockFormat format = block.blockFormat();
        if (format.headingLevel() < 2)
            continue;
        format.setTopMargin(format.headingLevel() == 2 ? 18 : 10);
        format.setBottomMargin(4);
        cursor.setPosition(block.position());
        cursor.setBlockFormat(format);
    }
}

// Tables with ruled cells, as the Markdown source draws them.
void ruleTables(QTextDocument &document)
{
    const QList<QTextFrame *> frames = document.rootFrame()->childFrames();
    for (QTextFrame *frame : frames)
        if (auto *table = qobject_cast<QTextTable *>(frame)) {
            QTextTableFormat format = table->format();
            format.setBorderCollapse(true);
            format.setBorder(0.5);
            format.setBorderBrush(Qt::gray);
            format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
            format.setCellPadding(3);
            format.setTopMargin(4);
            format.setBottomMargin(6);
            table->setFormat(format);
            for (int row = 0; row < table->rows(); ++row)
                for (int column = 0; column < table->columns(); ++column) {
                    QTextTableCell cell = table->cellAt(row, column);
                    QTextTableCellFormat cellFormat = cell.format().toTableCellFormat();
                    cellFormat.setBorder(0.5);
                    cellFormat.setBorderBrush(Qt::gray);
                    cellFormat.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
                    cell.setFormat(cellFormat);
                }
        }
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4)
        return fail(QStringLiteral("usage: mkmanual INPUT.md OUTPUT.pdf VERSION"));
    const QString input = args.at(1);
    const QString output = args.at(2);

    QFile source(input);
    if (!source.open(QIODevice::ReadOnly))
        return fail(input + QStringLiteral(": ") + source.errorString());
    const QString markdown = withVersion(QString::fromUtf8(source.readAll()), args.at(3));

    QTextDocument document;
    QFont body(QStringLiteral("DejaVu Sans"));
    body.setPointSizeF(10);
    document.setDefaultFont(body);
    document.setMarkdown(markdown);
    // The text's width in the document's units, pixels at 96 per inch: the
    // page less the margins that printing leaves.
    const qreal textWidth = (QPageSize(QPageSize::A4).size(QPageSize::Inch).width() - 2 * 2 / 2.54) * 96;
    const QStringList missing = embedPictures(document, QFileInfo(input).absoluteDir(), textWidth);
    if (!missing.isEmpty())
        return fail(QStringLiteral("pictures not found: ") + missing.join(QStringLiteral(", ")));
    spaceHeadings(document);
    ruleTables(document);

    QPdfWriter writer(output);
    writer.setTitle(QStringLiteral("Telvaro Manual"));
    writer.setCreator(QStringLiteral("Telvaro ") + args.at(3));
    // Printing sets its own margins of 2 cm and numbers the pages.
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
    document.print(&writer);
    if (!QFileInfo(output).size())
        return fail(output + QStringLiteral(": nothing written"));
    return 0;
}
