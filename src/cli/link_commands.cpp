#include "app/workspace.h"
#include "cli/cliprompter.h"
#include "cli/commands.h"
#include "cli/linkoptions.h"

#include <QTextStream>

namespace telvaro::cli {

int Send(const QStringList &args)
{
    QStringList rest = args;
    LinkOptions options;
    const QString usage = QStringLiteral("usage: telvaro-cli send ") + LinkOptionsUsage() + QStringLiteral(" TEXT");
    if (const auto bad = TakeLinkOptions(rest, options))
        return UsageError(*bad + u'\n' + usage);
    if (rest.size() == 2 && rest.front() == QLatin1String("--"))
        rest.removeFirst();
    else if (rest.size() != 1 || rest.front().startsWith(QLatin1String("--")))
        return UsageError(usage);

    CliPrompter prompter;
    Workspace ws(prompter);
    if (const auto status = PrepareLink(ws, options, usage))
        return *status;

    ws.setBox(Workspace::Box::Entry, rest.front());
    const OperationOutcome outcome = ws.CmdQuickSend_Click();

    // What the device sent back, as the received-data box shows it.
    QString received = ws.box(Workspace::Box::RecData);
    if (!received.isEmpty()) {
        received.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        QTextStream(stdout) << received;
    }
    return OutcomeStatus(outcome);
}

} // namespace telvaro::cli
