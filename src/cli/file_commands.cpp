#include "app/filecommands.h"
#include "cli/cliprompter.h"
#include "cli/commands.h"
#include "codec/codepage.h"
#include "table/messagefiles.h"

#include <QFile>

namespace telvaro::cli {

namespace {

// The window opens any name and shows an empty table for an unknown
// extension; a script is told instead that nothing could be read.
bool KnownFormat(const QString &name)
{
    return FormatOfName(name) != MessageFormat::Other;
}

bool WriteOut(const QByteArray &bytes)
{
    QFile out;
    return out.open(stdout, QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
}

// The grid's four cells of each entry, one line per entry; bytes as the
// table holds them (the program's single-byte code page).
QByteArray GridLines(const MessageTable &table)
{
    QByteArray out;
    for (int row = 1; row <= table.count(); ++row) {
        for (int column = 0; column < MessageTable::ColumnCount; ++column) {
            if (column > 0)
                out += " | ";
            out += TextToBytes(table.CellText(row, column));
        }
        out += '\n';
    }
    return out;
}

} // namespace

int List(const QStringList &args)
{
    QStringList rest = args;
    const bool textView = rest.removeAll(QStringLiteral("--text-view")) > 0;
    if (rest.size() != 1 || !KnownFormat(rest.front()))
        return UsageError(QStringLiteral("usage: telvaro-cli list [--text-view] FILE.TVD|FILE.QND"));
    CliPrompter prompter;
    Workspace workspace(prompter);
    FileCommands files(workspace);
    // What was read before an error is listed too, as the window shows it.
    const bool opened = files.OpenWithCompanion(rest.front());
    const MessageTable &table = workspace.table();
    if (!WriteOut(textView ? table.TextView() : GridLines(table)))
        return ExitFailed;
    return opened ? ExitDone : ExitFailed;
}

int Convert(const QStringList &args)
{
    if (args.size() != 2 || !KnownFormat(args[0]) || !KnownFormat(args[1]))
        return UsageError(QStringLiteral("usage: telvaro-cli convert IN.TVD|IN.QND OUT.TVD|OUT.QND"));
    CliPrompter prompter;
    Workspace workspace(prompter);
    FileCommands files(workspace);
    // A file that did not read to its end is not written anywhere.
    if (!files.OpenWithCompanion(args[0]))
        return ExitFailed;
    return files.SaveFile(args[1]) == FileCommands::SaveResult::Saved ? ExitDone : ExitFailed;
}

} // namespace telvaro::cli
