// mkmanpage: writes a man page from a page written in roff and the
// program's own --help, so the options, commands and examples in the page
// are the ones the program prints.
//
//   mkmanpage PAGE.in OUTPUT VERSION DATE [PROGRAM]
//
// PAGE.in is roff in which these lines are filled from PROGRAM --help:
//   @DESCRIPTION@      the help's opening paragraph
//   @NOTES@            its paragraphs without a heading
//   @SECTION Name@     the entries under "Name:", one tagged paragraph each
//   @COMMANDS@         a subsection for every command under "Commands:",
//                      from PROGRAM COMMAND --help, without the link options
//   @LINKOPTIONS@      the options the help's "LINK is" paragraph names
//   @EXAMPLES@         every example of the help and of each command's help
// and @VERSION@ and @DATE@ anywhere. A placeholder the help cannot fill
// fails, so the page and the program cannot drift apart unnoticed.
#include <QCoreApplication>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTextStream>

namespace {

struct Entry {
    QString term;
    QString text;
};

struct Help {
    QString usage;
    QString description;
    QList<QPair<QString, QStringList>> sections; // heading, lines
    QStringList notes;

    QStringList section(const QString &heading) const
    {
        for (const auto &s : sections)
            if (s.first == heading)
                return s.second;
        return {};
    }
};

struct Failure {
    QString text;
};

Help ReadHelp(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        throw Failure{QStringLiteral("%1 %2 failed").arg(program, arguments.join(u' '))};
    const QString text = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    Help help;
    static const QRegularExpression heading(QStringLiteral("^[A-Z][A-Za-z ]*:$"));
    const QStringList blocks = text.split(QStringLiteral("\n\n"));
    for (qsizetype i = 0; i < blocks.size(); ++i) {
        QStringList lines = blocks[i].split(u'\n');
        if (i == 0) {
            help.usage = lines.takeFirst();
            help.description = lines.join(u' ');
        } else if (heading.match(lines.first()).hasMatch()) {
            const QString name = lines.takeFirst().chopped(1);
            help.sections.append({name, lines});
        } else {
            help.notes << lines.join(u' ');
        }
    }
    return help;
}

// Lines indented by two blanks open an entry: its term runs to the first
// two blanks in a row (the whole line when wholeLine), the rest and every
// line indented deeper is its text.
QList<Entry> Entries(const QStringList &lines, bool wholeLine = false)
{
    static const QRegularExpression opening(QStringLiteral("^  (\\S.*?)(?:\\s{2,}(.*))?$"));
    QList<Entry> entries;
    for (const QString &line : lines) {
        const QRegularExpressionMatch m = opening.match(line);
        if (m.hasMatch()) {
            entries.append(wholeLine ? Entry{line.trimmed(), {}} : Entry{m.captured(1), m.captured(2)});
        } else if (!entries.isEmpty()) {
            Entry &last = entries.last();
            last.text += (last.text.isEmpty() ? QString() : QStringLiteral(" ")) + line.trimmed();
        }
    }
    return entries;
}

// Text in roff: backslashes written as \e, dashes as the minus that a shell
// reads.
QString Roff(QString text)
{
    return text.replace(u'\\', QStringLiteral("\\e")).replace(u'-', QStringLiteral("\\-"));
}

// A line of text, never taken for a request.
QString Escaped(const QString &text)
{
    const QString roff = Roff(text);
    return roff.startsWith(u'.') || roff.startsWith(u'\'') ? QStringLiteral("\\&") + roff : roff;
}

// Option names bold, values and placeholders in capitals italic, as man
// pages set them; the first word bold when it is a name (a command, a role).
QString Term(const QString &term, bool nameFirst = true)
{
    static const QRegularExpression parts(
        QStringLiteral("(--?[a-z][a-z0-9-]*)|<([A-Z]+)>|\\b([A-Z][A-Z0-9]*)\\b|^([a-z][a-z0-9-]*)"));
    QString out;
    qsizetype done = 0;
    for (auto it = parts.globalMatch(term); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.capturedLength(4) > 0 && !nameFirst)
            continue;
        const bool italic = m.capturedLength(2) > 0 || m.capturedLength(3) > 0;
        const QString word = m.captured(1) + m.captured(2) + m.captured(3) + m.captured(4);
        out += Roff(term.mid(done, m.capturedStart() - done)) +
               (italic ? QStringLiteral("\\fI") : QStringLiteral("\\fB")) + Roff(word) + QStringLiteral("\\fR");
        done = m.capturedEnd();
    }
    return out + Roff(term.mid(done));
}

QString Tagged(const QList<Entry> &entries, const QSet<QString> &left = {})
{
    QString out;
    for (const Entry &e : entries)
        if (!left.contains(e.term))
            out += QStringLiteral(".TP\n%1\n%2\n").arg(Term(e.term), Escaped(e.text));
    return out;
}

QString Paragraph(const QString &text)
{
    return QStringLiteral(".PP\n") + Escaped(text) + u'\n';
}

// The help's own layout, one example a line, an explanation indented below.
QString Examples(const QList<Entry> &examples)
{
    QString out = QStringLiteral(".PP\n.RS 4\n.nf\n");
    for (const Entry &e : examples) {
        out += Escaped(e.term) + u'\n';
        if (!e.text.isEmpty())
            out += QStringLiteral("    ") + Escaped(e.text) + u'\n';
    }
    return out + QStringLiteral(".fi\n.RE\n");
}

class Page {
public:
    explicit Page(const QString &program) : m_program(program)
    {
        if (program.isEmpty())
            return;
        m_help = ReadHelp(program, {QStringLiteral("--help")});
        for (const Entry &command : Entries(m_help.section(QStringLiteral("Commands")))) {
            const QString name = command.term.section(u' ', 0, 0);
            m_commands.append({command.term, ReadHelp(program, {name, QStringLiteral("--help")})});
        }
        // "LINK is --port N, ..., --verbose; what is not given ..."
        static const QRegularExpression option(QStringLiteral("--[a-z-]+"));
        for (const QString &note : m_help.notes)
            if (note.startsWith(QStringLiteral("LINK is")))
                for (auto it = option.globalMatch(note.section(u';', 0, 0)); it.hasNext();)
                    m_linkOptions << it.next().captured();
    }

    QString fill(const QString &line) const
    {
        if (line == QStringLiteral("@DESCRIPTION@"))
            return Paragraph(need(m_help.description, line));
        if (line == QStringLiteral("@NOTES@")) {
            QString out;
            for (const QString &note : need(m_help.notes, line))
                out += Paragraph(note);
            return out;
        }
        if (line.startsWith(QStringLiteral("@SECTION ")))
            return Tagged(Entries(need(m_help.section(line.mid(9).chopped(1)), line)));
        if (line == QStringLiteral("@COMMANDS@"))
            return commands();
        if (line == QStringLiteral("@LINKOPTIONS@"))
            return linkOptions();
        if (line == QStringLiteral("@EXAMPLES@"))
            return examples();
        if (line.startsWith(u'@'))
            throw Failure{QStringLiteral("unknown placeholder %1").arg(line)};
        return line + u'\n';
    }

private:
    template <typename T> T need(const T &value, const QString &placeholder) const
    {
        if (value.isEmpty())
            throw Failure{QStringLiteral("%1 --help has nothing for %2").arg(m_program, placeholder)};
        return value;
    }

    // What every command takes is told once, under OPTIONS.
    QSet<QString> shared(const Help &help) const
    {
        QSet<QString> terms;
        for (const Entry &e : Entries(help.section(QStringLiteral("Options")))) {
            const QString name = e.term.section(u' ', 0, 0);
            if (e.term.startsWith(QStringLiteral("-h, ")) || m_linkOptions.contains(name))
                terms << e.term;
        }
        return terms;
    }

    QString commands() const
    {
        QString out;
        for (const auto &[synopsis, help] : need(m_commands, QStringLiteral("@COMMANDS@"))) {
            const QString name = synopsis.section(u' ', 0, 0);
            out += QStringLiteral(".SS %1\n\\fB%2 %1\\fR %3\n")
                       .arg(Roff(name), Roff(m_program.section(u'/', -1)), Term(synopsis.section(u' ', 1), false));
            out += Paragraph(help.description);
            const QSet<QString> left = shared(help);
            out += Tagged(Entries(help.section(QStringLiteral("Options"))), left);
            out += Tagged(Entries(help.section(QStringLiteral("Arguments"))));
        }
        return out;
    }

    QString linkOptions() const
    {
        for (const auto &command : m_commands) {
            QList<Entry> options;
            for (const Entry &e : Entries(command.second.section(QStringLiteral("Options"))))
                if (m_linkOptions.contains(e.term.section(u' ', 0, 0)))
                    options << e;
            if (options.size() == m_linkOptions.size())
                return Tagged(options);
        }
        throw Failure{QStringLiteral("no command of %1 takes every link option").arg(m_program)};
    }

    QString examples() const
    {
        QList<Entry> all = Entries(m_help.section(QStringLiteral("Examples")), true);
        for (const auto &command : m_commands)
            all += Entries(command.second.section(QStringLiteral("Examples")), true);
        return Examples(need(all, QStringLiteral("@EXAMPLES@")));
    }

    QString m_program;
    Help m_help;
    QList<QPair<QString, Help>> m_commands; // synopsis, help
    QStringList m_linkOptions;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 5 || args.size() > 6) {
        QTextStream(stderr) << "usage: mkmanpage PAGE.in OUTPUT VERSION DATE [PROGRAM]\n";
        return 2;
    }
    try {
        QFile in(args[1]);
        if (!in.open(QIODevice::ReadOnly | QIODevice::Text))
            throw Failure{QStringLiteral("cannot read %1: %2").arg(args[1], in.errorString())};
        const Page page(args.value(5));
        QString out;
        for (QString line : QString::fromUtf8(in.readAll()).split(u'\n')) {
            line.replace(QStringLiteral("@VERSION@"), args[3]).replace(QStringLiteral("@DATE@"), args[4]);
            out += page.fill(line);
        }
        QFile file(args[2]);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(out.trimmed().toUtf8() + '\n') < 0 ||
            !file.flush())
            throw Failure{QStringLiteral("cannot write %1: %2").arg(args[2], file.errorString())};
    } catch (const Failure &failure) {
        QTextStream(stderr) << "mkmanpage: " << failure.text << '\n';
        return 1;
    }
    return 0;
}
