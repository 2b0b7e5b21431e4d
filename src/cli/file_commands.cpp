#include "app/filecommands.h"
#include "cli/cliprompter.h"
#include "cli/commandline.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "codec/codepage.h"
#include "table/messagefiles.h"

namespace telvaro::cli {

namespace {

// The window opens any name and shows an empty table for an unknown
// extension; a script is told instead that nothing could be read.
bool KnownFormat(const QString &name)
{
    return FormatOfName(name) != MessageFormat::Other;
}

// The grid's four cells of each entry, one line per entry: for a terminal,
// or as the code-page bytes the table holds.
QByteArray GridLines(const MessageTable &table, bool raw)
{
    QByteArray out;
    for (int row = 1; row <= table.count(); ++row) {
        QString text;
        for (int column = 0; column < MessageTable::ColumnCount; ++column) {
            if (column > 0)
                text += QStringLiteral(" | ");
            text += table.CellText(row, column);
        }
        out += raw ? TextToBytes(text) : TerminalText(text);
        out += '\n';
    }
    return out;
}

// The hidden text view: its exact bytes, or each line made safe for a
// terminal with its CR LF as one newline.
QByteArray TextViewLines(const MessageTable &table, bool raw)
{
    if (raw)
        return table.TextView();
    QByteArray out;
    for (const MessageEntry &e : table.entries())
        out += TerminalBytes(MessageTable::TextViewLine(e).chopped(2)) + '\n';
    return out;
}

const QString formats = QStringLiteral("The format follows the extension: TVD (Telvaro) or QND (Quendra).");

} // namespace

int List(const QStringList &args)
{
    CommandLine line(QStringLiteral("list"),
                     QStringLiteral("Prints a message file as the grid shows it, one line per message: MSG# | "
                                    "INTERVAL | MESSAGE TO SEND | COMMENTS. Text is UTF-8 with every control "
                                    "character in escape notation."));
    line.addOption({QStringLiteral("text-view")},
                   QStringLiteral("Prints the hidden text view instead: number, interval, text and send data."),
                   QStringLiteral("--text-view"));
    line.addOption({QStringLiteral("raw")},
                   QStringLiteral("Writes the exact code-page (windows-1252) bytes, control bytes included, for "
                                  "pipes and files; with --text-view, its exact text with CR LF line ends."),
                   QStringLiteral("--raw > table.txt"));
    line.addPositional(QStringLiteral("FILE"), formats);
    line.addExample(QStringLiteral("telvaro-cli list signs.TVD"));
    line.addExample(QStringLiteral("telvaro-cli list --text-view --raw signs.QND | od -c"));
    if (const auto status = line.parse(args))
        return *status;
    const QStringList files = line.positionals();
    if (files.size() != 1)
        return line.usageError(QStringLiteral("expects one FILE"));
    if (!KnownFormat(files.front()))
        return line.usageError(QStringLiteral("\"%1\" is not a TVD or QND file").arg(files.front()));
    CliPrompter prompter;
    Workspace workspace(prompter);
    FileCommands fileCommands(workspace);
    // What was read before an error is listed too, as the window shows it.
    const bool opened = fileCommands.OpenWithCompanion(files.front());
    const MessageTable &table = workspace.table();
    const bool raw = line.isSet(QStringLiteral("raw"));
    const QByteArray out = line.isSet(QStringLiteral("text-view")) ? TextViewLines(table, raw) : GridLines(table, raw);
    if (!WriteOut(out))
        return ExitFailed;
    return opened ? ExitDone : ExitFailed;
}

int Convert(const QStringList &args)
{
    CommandLine line(QStringLiteral("convert"),
                     QStringLiteral("Opens IN and saves its table as OUT, as the window's Open and Save do."));
    line.addOption({QStringLiteral("force")},
                   QStringLiteral("Saves a QND file even when it loses messages beyond 200 or holds intervals a QND "
                                  "file cannot read back; without it such a save is refused."),
                   QStringLiteral("--force"));
    line.addPositional(QStringLiteral("IN"), formats);
    line.addPositional(QStringLiteral("OUT"), formats + QStringLiteral(" A file there is replaced."));
    line.addExample(QStringLiteral("telvaro-cli convert signs.TVD signs.QND"));
    line.addExample(QStringLiteral("telvaro-cli convert --force long.TVD first200.QND"),
                    QStringLiteral("keeps messages 000 to 200 only"));
    if (const auto status = line.parse(args))
        return *status;
    const QStringList files = line.positionals();
    if (files.size() != 2)
        return line.usageError(QStringLiteral("expects IN and OUT"));
    for (const QString &name : files) {
        if (!KnownFormat(name))
            return line.usageError(QStringLiteral("\"%1\" is not a TVD or QND file").arg(name));
    }
    CliPrompter prompter;
    prompter.setForce(line.isSet(QStringLiteral("force")));
    Workspace workspace(prompter);
    FileCommands fileCommands(workspace);
    // A file that did not read to its end is not written anywhere.
    if (!fileCommands.OpenWithCompanion(files[0]))
        return ExitFailed;
    return SaveStatus(workspace, files[1]);
}

int SaveStatus(Workspace &ws, const QString &name)
{
    switch (FileCommands(ws).SaveFile(name)) {
    case FileCommands::SaveResult::Saved: return ExitDone;
    case FileCommands::SaveResult::Cancelled:
        PrintError(QStringLiteral("Nothing was written; give --force to save it all the same."));
        return ExitFailed;
    case FileCommands::SaveResult::Failed: break;
    }
    return ExitFailed;
}

} // namespace telvaro::cli
