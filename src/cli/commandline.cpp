#include "cli/commandline.h"

#include "cli/commands.h"
#include "cli/output.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace telvaro::cli {

namespace {
// Words in lines of at most 79 columns, as the parser lays out the options.
QString Wrapped(const QString &text)
{
    QString out;
    qsizetype lineStart = 0;
    for (const QString &word : text.split(u' ', Qt::SkipEmptyParts)) {
        if (out.size() > lineStart && out.size() - lineStart + 1 + word.size() > 79) {
            out += u'\n';
            lineStart = out.size();
        } else if (out.size() > lineStart) {
            out += u' ';
        }
        out += word;
    }
    return out;
}
} // namespace

CommandLine::CommandLine(const QString &name, const QString &description) : m_name(name)
{
    m_parser.setApplicationDescription(Wrapped(description));
    addOption({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Shows this help and ends."),
              QStringLiteral("telvaro-cli %1 --help").arg(name));
}

void CommandLine::addOption(const QStringList &names, const QString &sentence, const QString &example,
                            const QString &valueName)
{
    for (const QString &n : names)
        m_known.insert(n);
    // Qt's wrapping loses a description's last character when it is a word
    // of its own that starts a new line ("--retries 2" showed as
    // "--retries"); a trailing blank gives it its place, and helpText()
    // takes the blank off again.
    m_parser.addOption(
        QCommandLineOption(names, sentence + QStringLiteral(" Example: ") + example + u' ', valueName));
}

void CommandLine::addPositional(const QString &name, const QString &description, const QString &syntax)
{
    m_positionalNames << name;
    m_parser.addPositionalArgument(name, description, syntax);
}

void CommandLine::addExample(const QString &commandLine, const QString &comment)
{
    m_examples << QStringLiteral("  ") + commandLine;
    if (!comment.isEmpty())
        m_examples << QStringLiteral("      ") + comment;
}

QString CommandLine::helpText() const
{
    // The parser names the program as it was started; the help names the
    // program and the command as they are typed.
    QString text = m_parser.helpText();
    const QString started = QStringLiteral("Usage: ") + QCoreApplication::arguments().constFirst();
    if (text.startsWith(started))
        text.replace(0, started.size(), QStringLiteral("Usage: telvaro-cli ") + m_name);
    if (!m_examples.isEmpty())
        text += QStringLiteral("\nExamples:\n") + m_examples.join(u'\n') + u'\n';
    static const QRegularExpression lineEndBlanks(QStringLiteral(" +\n"));
    return text.replace(lineEndBlanks, QStringLiteral("\n"));
}

std::optional<int> CommandLine::parse(const QStringList &args)
{
    if (!m_parser.parse(QStringList{QCoreApplication::arguments().constFirst()} + args))
        return usageError(m_parser.errorText());
    if (m_parser.isSet(QStringLiteral("help")))
        return WriteOut(helpText().toUtf8()) ? ExitDone : ExitFailed;
    if (!m_hook)
        return std::nullopt;
    const auto expanded = m_hook(*this, args);
    if (const int *status = std::get_if<int>(&expanded))
        return *status;
    const QStringList &runWith = std::get<QStringList>(expanded);
    if (runWith != args && !m_parser.parse(QStringList{QCoreApplication::arguments().constFirst()} + runWith))
        return usageError(m_parser.errorText());
    return std::nullopt;
}

int CommandLine::usageError(const QString &problem) const
{
    PrintError(QStringLiteral("telvaro-cli %1: %2").arg(m_name, problem));
    PrintError(UsageLine(helpText()));
    PrintError(QStringLiteral("Run \"telvaro-cli %1 --help\" for its options.").arg(m_name));
    return ExitUsage;
}

QString UsageLine(const QString &helpText)
{
    return helpText.section(u'\n', 0, 0);
}

} // namespace telvaro::cli
