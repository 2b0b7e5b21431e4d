#include "app/workspace.h"
#include "cli/cliprompter.h"
#include "cli/commandline.h"
#include "cli/commands.h"
#include "cli/dryrun.h"
#include "cli/linkoptions.h"
#include "cli/operationrun.h"
#include "cli/output.h"
#include "cli/progressline.h"
#include "table/messagefiles.h"

namespace telvaro::cli {

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
    line.addOption({QStringLiteral("serial-input")},
                   QStringLiteral("The controller has a serial interface (the answer Yes)."),
                   QStringLiteral("--serial-input"));
    line.addOption({QStringLiteral("binary-input")},
                   QStringLiteral("The controller has a binary interface (the answer No)."),
                   QStringLiteral("--binary-input"));
    AddDryRunOptions(line);
    AddQuietOption(line);
    line.addPositional(QStringLiteral("FILE"), QStringLiteral("The table: a TVD or QND file."));
    line.addExample(QStringLiteral("telvaro-cli load-controller --port 1 --device /tmp/ttyController "
                                   "--serial-input controller.TVD"),
                    QStringLiteral("with controller.TV1 beside it for the registers"));
    if (const auto status = line.parse(args))
        return *status;
    LinkOptions options;
    if (const auto bad = ReadLinkOptions(line, options))
        return line.usageError(*bad);
    const bool serial = line.isSet(QStringLiteral("serial-input"));
    if (serial == line.isSet(QStringLiteral("binary-input")))
        return line.usageError(QStringLiteral("give one of --serial-input and --binary-input"));
    CliPrompter prompter;
    Workspace ws(prompter);
    if (const auto status = PrepareTable(ws, options, line))
        return *status;
    const OperationRun how{ProgressLine::Steps::Controller, ws.table().count(), Quiet(line), std::nullopt,
                           ReadDryRun(line)};
    return RunOperation(ws, how, [&] { return ws.LoadController(serial); }).status;
}

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
    AddQuietOption(line);
    line.addPositional(QStringLiteral("OUT"), QStringLiteral("The file to write: TVD or QND, by its extension."));
    line.addExample(QStringLiteral("telvaro-cli upload --port 1 --device /tmp/ttyController uploaded.TVD"),
                    QStringLiteral("writes uploaded.TVD and uploaded.TV1"));
    if (const auto status = line.parse(args))
        return *status;
    LinkOptions options;
    if (const auto bad = ReadLinkOptions(line, options))
        return line.usageError(*bad);
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
    const CommandEnding ending = RunOperation(ws, {ProgressLine::Steps::Upload, 0, Quiet(line)},
                                              [&ws] { return ws.MnuUploadController_Click(); });
    if (ending.status != ExitDone)
        return ending.status;
    return SaveStatus(ws, files.front());
}

} // namespace telvaro::cli
