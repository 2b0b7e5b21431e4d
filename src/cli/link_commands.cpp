#include "app/workspace.h"
#include "cli/cliprompter.h"
#include "cli/commandline.h"
#include "cli/commands.h"
#include "cli/dryrun.h"
#include "cli/linkoptions.h"
#include "cli/operationrun.h"

namespace telvaro::cli {

int Send(const QStringList &args)
{
    CommandLine line(QStringLiteral("send"),
                     QStringLiteral("Sends TEXT once, as Quick Send does: opens the link, sends the bytes, holds the "
                                    "link two seconds and closes it. What the device answers is printed as the "
                                    "received-data box shows it."));
    AddLinkOptions(line);
    AddDryRunOptions(line);
    line.addPositional(QStringLiteral("TEXT"),
                       QStringLiteral("Text in escape notation; <T> is the date and time. Put -- before a text "
                                      "that begins with -."));
    line.addExample(QStringLiteral("telvaro-cli send --port 0 --ip 127.0.0.1 --ip-port 3001 '<0x02>HELLO<0x03>'"));
    line.addExample(QStringLiteral("telvaro-cli send --port 1 --device /tmp/ttyTelvaro --baud 19200 'HELLO<0x0D>'"));
    if (const auto status = line.parse(args))
        return *status;
    LinkOptions options;
    OperationRun how;
    if (const auto bad = ReadLinkOptions(line, options))
        return line.usageError(*bad);
    if (const auto bad = ReadDryRun(line, options, how.dryRun))
        return line.usageError(*bad);
    const QStringList texts = line.positionals();
    if (texts.size() != 1)
        return line.usageError(QStringLiteral("expects one TEXT, not %1 arguments").arg(texts.size()));

    CliPrompter prompter;
    Workspace ws(prompter);
    if (const auto status = PrepareLink(ws, options, line))
        return *status;
    ws.setBox(Workspace::Box::Entry, texts.front());
    return RunOperation(ws, how, [&ws] { return ws.CmdQuickSend_Click(); }).status;
}

} // namespace telvaro::cli
