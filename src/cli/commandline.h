#pragma once
// One command's options, parsed with QCommandLineParser: its help on stdout
// (every option with a sentence and an example, then examples of the whole
// command), usage errors that name what was wrong, and the options several
// commands share.

#include <QCommandLineParser>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <variant>

namespace telvaro::cli {

class CommandLine {
public:
    // name: the command ("send"); description: what it does, one sentence.
    CommandLine(const QString &name, const QString &description);

    // An option with a sentence saying what it does and an example of its
    // use; valueName for an option that takes a value.
    void addOption(const QStringList &names, const QString &sentence, const QString &example,
                   const QString &valueName = {});
    void addPositional(const QString &name, const QString &description, const QString &syntax = {});
    void addExample(const QString &commandLine, const QString &comment = {});

    // Turns the arguments once parsed into the ones the command runs with
    // (--sign puts its registry file's options in front), or ends the
    // command with an exit status.
    using ArgumentsHook = std::function<std::variant<QStringList, int>(const CommandLine &, const QStringList &)>;
    void setArgumentsHook(ArgumentsHook hook) { m_hook = std::move(hook); }
    bool knows(const QString &option) const { return m_known.contains(option); }
    bool takesPositional(const QString &name) const { return m_positionalNames.contains(name); }

    // Reads the arguments after the command's name. Nothing when the command
    // should go on; otherwise the exit status: 0 after --help (printed on
    // stdout), 2 after a usage error (printed on stderr).
    std::optional<int> parse(const QStringList &args);

    bool isSet(const QString &name) const { return m_parser.isSet(name); }
    QString value(const QString &name) const { return m_parser.value(name); }
    QStringList positionals() const { return m_parser.positionalArguments(); }

    // Prints the problem, the usage line and where the help is; returns 2.
    int usageError(const QString &problem) const;
    QString helpText() const;

private:
    QString m_name;
    QCommandLineParser m_parser;
    QStringList m_examples;
    QSet<QString> m_known;
    QStringList m_positionalNames;
    ArgumentsHook m_hook;
};

// The one line of usage the help begins with.
QString UsageLine(const QString &helpText);

} // namespace telvaro::cli
