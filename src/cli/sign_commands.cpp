#include "app/workspace.h"
#include "cli/cliprompter.h"
#include "cli/commandline.h"
#include "cli/commands.h"
#include "cli/dryrun.h"
#include "cli/linkoptions.h"
#include "cli/operationrun.h"
#include "cli/progressline.h"
#include "codec/codepage.h"
#include "signload/adp.h"

namespace telvaro::cli {

namespace {

const QString signTypeOption = QStringLiteral("sign-type");
const QString addressOption = QStringLiteral("address");

void AddSignOptions(CommandLine &line, const QString &addressRule)
{
    line.addOption({signTypeOption}, QStringLiteral("The sign type, vyrena (the default) or orbilux."),
                   QStringLiteral("--sign-type orbilux"), QStringLiteral("TYPE"));
    line.addOption({addressOption}, QStringLiteral("The sign address, %1; default 00.").arg(addressRule),
                   QStringLiteral("--address 0A"), QStringLiteral("XX"));
    AddDryRunOptions(line);
}

// The arguments, the link options and the sign type of a sign command; the
// exit status when they are not usable.
std::optional<int> ParseSignCommand(CommandLine &line, const QStringList &args, LinkOptions &options, SignType &type,
                                    std::optional<DryRun> &dryRun)
{
    if (const auto status = line.parse(args))
        return status;
    if (const auto bad = ReadLinkOptions(line, options))
        return line.usageError(*bad);
    if (const auto bad = ReadDryRun(line, options, dryRun))
        return line.usageError(*bad);
    const auto chosen =
        line.isSet(signTypeOption) ? SignTypeFromName(line.value(signTypeOption)) : std::optional(SignType::Vyrena);
    if (!chosen)
        return line.usageError(QStringLiteral("--sign-type is vyrena or orbilux"));
    type = *chosen;
    return std::nullopt;
}

QString ReadAddress(const CommandLine &line)
{
    return line.isSet(addressOption) ? line.value(addressOption) : QStringLiteral("00");
}

// The address as the sign type dialog's box takes it: characters of the code
// page, each turned to its own upper case within the code page, one for one
// ("ß" stays "ß" and is refused, never "SS").
QByteArray LoadAddress(const QString &typed)
{
    QString text = BytesToText(TextToBytes(typed));
    for (QChar &c : text)
        if (const QChar upper = c.toUpper(); IsRepresentable(QStringView(&upper, 1)))
            c = upper;
    return TextToBytes(text);
}

// call-message and clear-list: the dialog's command put into the entry box
// and quick-sent, or the dialog's refusal.
int SendLoadedCommand(const CommandLine &line, const LinkOptions &options, const std::optional<DryRun> &dryRun,
                      const LoadedCommand &command)
{
    CliPrompter prompter;
    if (!command.refusal.isEmpty()) {
        prompter.inform(command.refusal);
        return ExitFailed;
    }
    Workspace ws(prompter);
    if (const auto status = PrepareLink(ws, options, line))
        return *status;
    ws.setBox(Workspace::Box::Entry, command.text);
    OperationRun how;
    how.dryRun = dryRun;
    return RunOperation(ws, how, [&ws] { return ws.CmdQuickSend_Click(); }).status;
}

} // namespace

int LoadSign(const QStringList &args)
{
    CommandLine line(QStringLiteral("load-sign"),
                     QStringLiteral("Loads the table of FILE into an ADP sign's flash, as Action > Load Sign does: "
                                    "three set-up frames, then each message behind its header. The waits are "
                                    "fixed, so the table's length alone sets the duration: 10 s after the erase "
                                    "(and 5 s more over serial or TCP, where the link is opened again), 2 s after "
                                    "each other set-up frame and 2 s after each message, that is 14 s (19 s) plus "
                                    "2 s a message. A table of 8,101 messages takes about 4 h 30 min; --dry-run "
                                    "shows the plan."));
    AddLinkOptions(line);
    AddSignOptions(line, QStringLiteral("two letters or digits"));
    AddQuietOption(line);
    line.addPositional(QStringLiteral("FILE"), QStringLiteral("The table: a TVD or QND file."));
    line.addExample(QStringLiteral("telvaro-cli load-sign --port -1 --ip 127.0.0.1 --ip-port 3001 signs.TVD"));
    line.addExample(QStringLiteral("telvaro-cli load-sign --sign-type orbilux --address 0A signs.TVD"));
    LinkOptions options;
    SignType type = SignType::Vyrena;
    std::optional<DryRun> dryRun;
    if (const auto status = ParseSignCommand(line, args, options, type, dryRun))
        return *status;
    const QString address = ReadAddress(line);
    if (!IsSignLoadAddress(LoadAddress(address)))
        return line.usageError(QStringLiteral("--address takes two letters or digits, not \"%1\"").arg(address));
    CliPrompter prompter;
    Workspace ws(prompter);
    if (const auto status = PrepareTable(ws, options, line))
        return *status;
    const SignChoice choice{type, LoadAddress(address)};
    OperationRun how{ProgressLine::Steps::Load, ws.table().count(), Quiet(line), dryRun, PlannedOperation::SignLoad};
    how.plan.sign = choice;
    return RunOperation(ws, how, [&] { return ws.MnuLoadSign_Click(choice); }).status;
}

int CallMessage(const QStringList &args)
{
    CommandLine line(QStringLiteral("call-message"),
                     QStringLiteral("Makes an ADP sign show loaded message N, as Call Message of Display Loaded "
                                    "Message does."));
    AddLinkOptions(line);
    AddSignOptions(line, QStringLiteral("sent as typed, at most two characters"));
    line.addPositional(QStringLiteral("N"), QStringLiteral("The message number, 0 to 8100."));
    line.addExample(QStringLiteral("telvaro-cli call-message --port 0 --ip 192.168.1.100 --ip-port 3001 5"));
    line.addExample(QStringLiteral("telvaro-cli call-message --sign-type orbilux --address 01 12"));
    LinkOptions options;
    SignType type = SignType::Vyrena;
    std::optional<DryRun> dryRun;
    if (const auto status = ParseSignCommand(line, args, options, type, dryRun))
        return *status;
    const QStringList numbers = line.positionals();
    if (numbers.size() != 1)
        return line.usageError(QStringLiteral("expects one message number N"));
    return SendLoadedCommand(line, options, dryRun, CallMessageCommand(type, ReadAddress(line), numbers.front()));
}

int ClearList(const QStringList &args)
{
    CommandLine line(QStringLiteral("clear-list"),
                     QStringLiteral("Empties an ADP sign's play list, as Clear List of Display Loaded Message does."));
    AddLinkOptions(line);
    AddSignOptions(line, QStringLiteral("sent as typed, at most two characters"));
    line.addExample(QStringLiteral("telvaro-cli clear-list --port -1 --ip 192.168.1.100 --ip-port 3001"));
    LinkOptions options;
    SignType type = SignType::Vyrena;
    std::optional<DryRun> dryRun;
    if (const auto status = ParseSignCommand(line, args, options, type, dryRun))
        return *status;
    if (!line.positionals().isEmpty())
        return line.usageError(QStringLiteral("takes no arguments"));
    return SendLoadedCommand(line, options, dryRun, ClearListCommand(type, ReadAddress(line)));
}

} // namespace telvaro::cli
