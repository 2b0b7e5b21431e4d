#include "cli/fleetplan.h"

#include "app/filecommands.h"
#include "app/workspace.h"
#include "cli/cliprompter.h"
#include "cli/dryrun.h"
#include "cli/linkoptions.h"
#include "codec/codepage.h"
#include "codec/numbers.h"
#include "fleet/registry.h"
#include "signload/signload.h"

namespace telvaro::cli {

namespace {
std::optional<QString> Value(const SignEntry &sign, const QString &key)
{
    return sign.values.contains(key) ? std::optional(sign.values.value(key)) : std::nullopt;
}
} // namespace

std::optional<double> PlannedSeconds(const SignEntry &sign)
{
    CliPrompter prompter;
    prompter.setMuted(true);
    Workspace ws(prompter);
    LinkOptions options;
    options.port = RoundToInt16(StrictValue(sign.values.value(QStringLiteral("port"))).value_or(1)).value_or(1);
    options.ip = Value(sign, QStringLiteral("ip"));
    options.ipPort = Value(sign, QStringLiteral("ip-port"));
    options.baud = Value(sign, QStringLiteral("baud"));
    options.device = Value(sign, QStringLiteral("device"));
    if (SetUpLink(ws, options) || !FileCommands(ws).OpenWithCompanion(sign.table()))
        return std::nullopt;
    const bool controller = sign.operation() == QLatin1String("load-controller");
    const bool serialInput = sign.values.value(QStringLiteral("input")) == QLatin1String("serial");
    const SignChoice choice{SignTypeFromName(sign.values.value(QStringLiteral("sign-type"), QStringLiteral("vyrena")))
                                .value_or(SignType::Vyrena),
                            TextToBytes(sign.values.value(QStringLiteral("address"), QStringLiteral("00")).toUpper())};
    const StepPlan plan = PlanSteps(ws, ws.table().count(), [&]() {
        return controller ? ws.LoadController(serialInput) : ws.MnuLoadSign_Click(choice);
    });
    return plan.starts.isEmpty() ? std::nullopt : std::optional(plan.total);
}

} // namespace telvaro::cli
