#include "app/filecommands.h"
#include "app/workspace.h"
#include "cli/cliprompter.h"
#include "cli/commandline.h"
#include "cli/commands.h"
#include "cli/dryrun.h"
#include "cli/linkoptions.h"
#include "cli/operationrun.h"
#include "cli/outcomejson.h"
#include "cli/output.h"
#include "cli/progressline.h"
#include "codec/escapes.h"
#include "controller/controllerprotocol.h"
#include "controller/controllertransfer.h"
#include "controller/controllerverify.h"
#include "link/transcript.h"
#include "table/messagefiles.h"

namespace telvaro::cli {

namespace {

const QString serialInputOption = QStringLiteral("serial-input");
const QString binaryInputOption = QStringLiteral("binary-input");

void AddInputOptions(CommandLine &line, const QString &role)
{
    line.addOption({serialInputOption},
                   QStringLiteral("The controller has a serial interface (the answer Yes)") + role + u'.',
                   QStringLiteral("--serial-input"));
    line.addOption({binaryInputOption},
                   QStringLiteral("The controller has a binary interface (the answer No)") + role + u'.',
                   QStringLiteral("--binary-input"));
}

// The table position of each message a load sends: the empty ones send nothing.
QList<int> SentMessageNumbers(const MessageTable &table)
{
    QList<int> numbers;
    for (int i = 0; i <= table.UpperIndex(); ++i)
        if (const auto bytes = ParseEscapes(table.entry(i).Text); bytes && !bytes->isEmpty())
            numbers << i;
    return numbers;
}

// A read-back needs the serial port; over another link the option is
// refused before anything is opened or sent, like any option that cannot
// work with the command's other choices.
std::optional<int> RefuseReadBackOff(const CommandLine &line, Workspace &ws, const QString &option)
{
    if (ws.link().kind() == LinkKind::Serial)
        return std::nullopt;
    return line.usageError(
        QStringLiteral("%1 reads the controller back over a serial link (--port 1 or above); the link is %2")
            .arg(option, ws.link().kind() == LinkKind::Tcp ? QStringLiteral("TCP") : QStringLiteral("UDP")));
}

// Reads the controller back, as an upload does but keeping the table and
// every file as they are, and compares it with what was sent. The exit
// status: 0 only when everything matches.
int ReadBackAndCompare(Workspace &ws, const ControllerImage &sent, bool quiet)
{
    QByteArray received;
    const CommandEnding ending = RunOperation(ws, {ProgressLine::Steps::Upload, 0, quiet, {}, {}}, [&] {
        UploadTransfer transfer = UploadFromController(ws.operations());
        received = transfer.received;
        return transfer.outcome;
    });
    if (ending.status != ExitDone) {
        NoteVerification(true);
        return ending.status;
    }
    const ControllerImage back = ReadControllerImage(received);
    const ControllerComparison comparison =
        back.error.isEmpty() ? CompareWithController(sent, back) : ControllerComparison{};
    const bool same = back.error.isEmpty() && comparison.differences.isEmpty();
    const QStringList lines = same ? QStringList{QStringLiteral("The controller holds what was sent.")}
                              : back.error.isEmpty() ? DifferenceReport(comparison)
                                                     : QStringList{back.error};
    NoteVerification(!back.error.isEmpty(), comparison.differences);
    if (auto *transcript = CommandTranscript())
        transcript->event("VERIFY", lines.constLast());
    if (same)
        return ExitDone;
    for (const QString &l : lines)
        PrintError(l);
    return ExitFailed;
}

// Registers that did not load from the companion beside the table are
// neither sent nor compared: refused before the first frame. A damaged
// companion's reason was printed as it was opened and is not printed again.
std::optional<int> RefuseUnloadedRegisters(const Workspace &ws, const QString &consequence)
{
    const Registers &registers = ws.registers();
    if (registers.notLoaded().isEmpty())
        return std::nullopt;
    PrintError(registers.notLoadedShown() ? QStringLiteral("The registers did not load; ") + consequence
                                          : QStringLiteral("The registers did not load: ") + registers.notLoaded());
    return ExitFailed;
}

// What a load of the table sends after its wake-up and clear; none when a
// message holds an escape out of range. Time tokens stay: each stands for
// the time text the load puts in its place.
std::optional<ControllerImage> TableAsSent(const Workspace &ws, bool serialInput)
{
    QList<SentMessage> messages;
    for (int i = 0; i <= ws.table().UpperIndex(); ++i) {
        const auto bytes = ParseEscapes(ws.table().entry(i).Text);
        if (!bytes)
            return std::nullopt;
        if (!bytes->isEmpty())
            messages.append({i, *bytes});
    }
    return SentControllerImage(RegisterFrame(ws.registers().table()), messages, ConfigurationFrame(serialInput));
}

} // namespace

int LoadController(const QStringList &args)
{
    CommandLine line(QStringLiteral("load-controller"),
                     QStringLiteral("Loads a sign controller with the registers, the messages of FILE and its input "
                                    "configuration, as Action > Load Controller does. The registers come from "
                                    "FILE's TV1 companion when there is one. On a serial link each frame waits for "
                                    "the controller's reply (60 s at most); a dry run counts each reply as "
                                    "coming at the first look for it, 0.5 s after the frame, since the "
                                    "controller's own reply time is not known."));
    AddLinkOptions(line);
    AddInputOptions(line, {});
    line.addOption({QStringLiteral("verify")},
                   QStringLiteral("After a load that ended normally, reads the controller back and compares "
                                  "registers, messages and input configuration with what was sent; exit status 1 "
                                  "with a line for each difference when anything differs. Serial links only: with "
                                  "a TCP or UDP link it is a usage error (exit status 2)."),
                   QStringLiteral("--verify"));
    AddDryRunOptions(line);
    AddQuietOption(line);
    line.addPositional(QStringLiteral("FILE"), QStringLiteral("The table: a TVD or QND file."));
    line.addExample(QStringLiteral("telvaro-cli load-controller --port 1 --device /tmp/ttyController "
                                   "--serial-input controller.TVD"),
                    QStringLiteral("with controller.TV1 beside it for the registers"));
    line.addExample(QStringLiteral("telvaro-cli load-controller --port 1 --device /dev/ttyUSB0 --binary-input "
                                   "--verify controller.TVD"),
                    QStringLiteral("exit status 0 only when the controller holds what was sent"));
    if (const auto status = line.parse(args))
        return *status;
    LinkOptions options;
    std::optional<DryRun> dryRun;
    if (const auto bad = ReadLinkOptions(line, options))
        return line.usageError(*bad);
    if (const auto bad = ReadDryRun(line, options, dryRun))
        return line.usageError(*bad);
    const bool serial = line.isSet(serialInputOption);
    if (serial == line.isSet(binaryInputOption))
        return line.usageError(QStringLiteral("give one of --serial-input and --binary-input"));
    const bool verify = line.isSet(QStringLiteral("verify"));
    CliPrompter prompter;
    Workspace ws(prompter);
    if (const auto status = PrepareTable(ws, options, line))
        return *status;
    if (!ws.registers().notLoaded().isEmpty()) {
        PrintError(QStringLiteral("Error Loading Controller"));
        return *RefuseUnloadedRegisters(ws, QStringLiteral("nothing was sent."));
    }
    if (verify && dryRun)
        return line.usageError(QStringLiteral("--verify reads a controller back: it cannot go with --dry-run"));
    if (verify) {
        if (const auto status = RefuseReadBackOff(line, ws, QStringLiteral("--verify")))
            return *status;
    }
    // What went out after the wake-up and the clear is what must come back.
    QList<QByteArray> frames;
    const auto recording =
        QObject::connect(&ws.link(), &Link::transmitted, &ws, [&frames](const QByteArray &f) { frames << f; });
    const OperationRun how{ProgressLine::Steps::Controller, ws.table().count(), Quiet(line), std::nullopt, dryRun};
    const int status = RunOperation(ws, how, [&] { return ws.LoadController(serial); }).status;
    QObject::disconnect(recording);
    if (!verify || status != ExitDone)
        return status;
    // Wake-up, clear and registers, each message's frame, the configuration.
    const QList<int> numbers = SentMessageNumbers(ws.table());
    if (frames.size() != numbers.size() + 4) {
        PrintError(QStringLiteral("The load sent %1 frames where %2 were planned; nothing was compared.")
                       .arg(frames.size())
                       .arg(numbers.size() + 4));
        return ExitFailed;
    }
    QList<SentMessage> messages;
    for (qsizetype i = 0; i < numbers.size(); ++i)
        messages.append({numbers[i], frames[3 + i]});
    return ReadBackAndCompare(ws, SentControllerImage(frames[2], messages, frames.last()), Quiet(line));
}

namespace {

int CompareUpload(const CommandLine &line, const LinkOptions &options)
{
    if (!line.positionals().isEmpty())
        return line.usageError(QStringLiteral("--compare writes no OUT file"));
    const bool serial = line.isSet(serialInputOption);
    if (serial == line.isSet(binaryInputOption))
        return line.usageError(QStringLiteral("--compare needs one of --serial-input and --binary-input"));
    CliPrompter prompter;
    Workspace ws(prompter);
    if (const auto status = PrepareLink(ws, options, line))
        return *status;
    if (const auto status = RefuseReadBackOff(line, ws, QStringLiteral("--compare")))
        return *status;
    if (!FileCommands(ws).OpenWithCompanion(line.value(QStringLiteral("compare"))))
        return ExitFailed;
    if (const auto status = RefuseUnloadedRegisters(ws, QStringLiteral("nothing was compared.")))
        return *status;
    const auto sent = TableAsSent(ws, serial);
    if (!sent) {
        PrintError(QStringLiteral("A message holds an escape outside 0 to 255."));
        return ExitFailed;
    }
    return ReadBackAndCompare(ws, *sent, Quiet(line));
}

} // namespace

int Upload(const QStringList &args)
{
    CommandLine line(QStringLiteral("upload"),
                     QStringLiteral("Reads back what a sign controller holds, as Action > Upload From Controller "
                                    "does, and saves the messages as OUT and the registers as OUT's TV1 companion. "
                                    "The upload reads a serial port; it waits up to 60 s."));
    AddLinkOptions(line);
    line.addOption({QStringLiteral("force")},
                   QStringLiteral("Saves a QND file even when it loses messages beyond 200 or holds intervals a QND "
                                  "file cannot read back."),
                   QStringLiteral("--force"));
    line.addOption({QStringLiteral("compare")},
                   QStringLiteral("Writes no file: compares what the controller holds with FILE, its TV1 companion "
                                  "and the input given; exit status 1 with a line for each difference. Serial "
                                  "links only: with a TCP or UDP link it is a usage error (exit status 2)."),
                   QStringLiteral("--compare controller.TVD --serial-input"), QStringLiteral("FILE"));
    AddInputOptions(line, QStringLiteral(", with --compare"));
    AddQuietOption(line);
    line.addPositional(QStringLiteral("OUT"), QStringLiteral("The file to write: TVD or QND, by its extension."));
    line.addExample(QStringLiteral("telvaro-cli upload --port 1 --device /tmp/ttyController uploaded.TVD"),
                    QStringLiteral("writes uploaded.TVD and uploaded.TV1"));
    line.addExample(QStringLiteral("telvaro-cli upload --port 1 --device /dev/ttyUSB0 --compare controller.TVD "
                                   "--binary-input"),
                    QStringLiteral("exit status 0 only when the controller holds controller.TVD, its registers and "
                                   "a binary input"));
    if (const auto status = line.parse(args))
        return *status;
    LinkOptions options;
    if (const auto bad = ReadLinkOptions(line, options))
        return line.usageError(*bad);
    if (line.isSet(QStringLiteral("compare")))
        return CompareUpload(line, options);
    if (line.isSet(serialInputOption) || line.isSet(binaryInputOption))
        return line.usageError(QStringLiteral("--serial-input and --binary-input go with --compare"));
    const QStringList files = line.positionals();
    if (files.size() != 1)
        return line.usageError(QStringLiteral("expects one OUT file"));
    if (FormatOfName(files.front()) == MessageFormat::Other)
        return line.usageError(QStringLiteral("\"%1\" is not a TVD or QND file").arg(files.front()));

    CliPrompter prompter;
    prompter.setForce(line.isSet(QStringLiteral("force")));
    if (Quiet(line))
        prompter.silenceTitles({QStringLiteral("Controller Upload")});
    Workspace ws(prompter);
    if (const auto status = PrepareLink(ws, options, line))
        return *status;
    // The register companion is written with a save in Controller Load mode.
    ws.mode().setMode(OperatingMode::ControllerLoad);
    const CommandEnding ending = RunOperation(ws, {ProgressLine::Steps::Upload, 0, Quiet(line), {}, {}},
                                              [&ws] { return ws.MnuUploadController_Click(); });
    if (ending.status != ExitDone)
        return ending.status;
    return SaveStatus(ws, files.front());
}

} // namespace telvaro::cli
