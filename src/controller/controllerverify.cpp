#include "controller/controllerverify.h"

#include "controller/controllerprotocol.h"

#include <QRegularExpression>

namespace telvaro {

namespace {

constexpr qsizetype shownBefore = 20;
constexpr qsizetype shownLength = 60;

// A register as its frame carries it: number, width, fill.
QByteArray RegisterText(size_t number, const RegisterEntry &entry)
{
    if (entry.Width <= 0)
        return {};
    return QByteArray::number(qulonglong(number)).rightJustified(2, '0') + QByteArray::number(entry.Width) + entry.Fill;
}

// Quoted, or "none"; a long text from a little before where it differs.
QString Shown(const QByteArray &text, qsizetype differsAt)
{
    if (text.isEmpty())
        return QStringLiteral("none");
    const qsizetype from = text.size() <= shownLength ? 0 : qBound<qsizetype>(0, differsAt - shownBefore, text.size());
    const QByteArray part = text.mid(from, shownLength);
    return QStringLiteral("\"%1%2%3\"")
        .arg(from > 0 ? QStringLiteral("...") : QString(), QString::fromLatin1(part),
             from + part.size() < text.size() ? QStringLiteral("...") : QString());
}

qsizetype FirstDifference(const QByteArray &a, const QByteArray &b)
{
    qsizetype i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i])
        ++i;
    return i;
}

QString Difference(const QString &what, const QByteArray &sent, const QByteArray &back)
{
    const qsizetype at = FirstDifference(sent, back);
    return QStringLiteral("%1: sent %2, read back %3").arg(what, Shown(sent, at), Shown(back, at));
}

// The time a "<T>" was sent as is not known here: any text stands for it.
bool SameMessage(const QByteArray &sent, const QByteArray &back)
{
    if (sent == back)
        return true;
    if (!sent.contains("<T>"))
        return false;
    QStringList parts;
    for (const QByteArray &part : sent.split('<'))
        parts << QRegularExpression::escape(QString::fromLatin1(part));
    const QString pattern = parts.join(QStringLiteral("<")).replace(QStringLiteral("<T\\>"), QStringLiteral(".+?"));
    return QRegularExpression(QRegularExpression::anchoredPattern(pattern)).match(QString::fromLatin1(back)).hasMatch();
}

} // namespace

ControllerImage ReadControllerImage(const QByteArray &text)
{
    ControllerImage image;
    const UploadContents contents = ParseUpload(text);
    image.error = contents.error;
    for (const auto &[number, entry] : contents.registers)
        image.registers.at(size_t(number)) = entry;
    for (const UploadPiece &piece : contents.pieces) {
        if (piece.kind == UploadPiece::Kind::Message)
            image.messages << piece.text;
        else
            image.configuration = piece.text;
    }
    return image;
}

QStringList ControllerDifferences(const ControllerImage &sent, const ControllerImage &readBack,
                                  const QList<int> &messageNumbers)
{
    QStringList lines;
    for (size_t k = 0; k < sent.registers.size(); ++k) {
        const QByteArray a = RegisterText(k, sent.registers[k]), b = RegisterText(k, readBack.registers[k]);
        if (a != b)
            lines << Difference(QStringLiteral("register %1").arg(k, 2, 10, QLatin1Char('0')), a, b);
    }
    const qsizetype count = qMax(sent.messages.size(), readBack.messages.size());
    for (qsizetype i = 0; i < count; ++i) {
        const QByteArray a = sent.messages.value(i), b = readBack.messages.value(i);
        if (i < sent.messages.size() && i < readBack.messages.size() && SameMessage(a, b))
            continue;
        // A message read back beyond those sent is numbered on from the last.
        const int last = messageNumbers.isEmpty() ? -1 : messageNumbers.last();
        const qsizetype number = i < messageNumbers.size() ? messageNumbers[i] : last + 1 + i - messageNumbers.size();
        lines << Difference(QStringLiteral("message %1").arg(number, 3, 10, QLatin1Char('0')), a, b);
    }
    if (sent.configuration != readBack.configuration)
        lines << Difference(QStringLiteral("configuration"), sent.configuration, readBack.configuration);
    return lines;
}

QStringList DifferenceReport(const QStringList &differences)
{
    QStringList lines = differences.mid(0, MaxDifferenceLines);
    lines << QStringLiteral("%1 %2 between what was sent and what the controller holds.")
                 .arg(differences.size())
                 .arg(differences.size() == 1 ? QStringLiteral("difference") : QStringLiteral("differences"));
    return lines;
}

} // namespace telvaro
