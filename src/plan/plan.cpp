#include "plan/plan.h"

#include "app/workspace.h"
#include "codec/numbers.h"
#include "controller/controllerprotocol.h"
#include "link/plannedlink.h"

namespace telvaro {

namespace {

double Seconds(MonotonicClock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// What an operation reads of the workspace it runs on. The rest (menus,
// panels, the link, `Transmitting`) starts as at the program's start, so a
// plan made while another operation holds the link is still the plan.
void CopyState(const Workspace &from, Workspace &to)
{
    to.linkSettings().set(from.linkSettings().value());
    to.mode().setMode(from.mode().mode());
    to.mode().setAdpSerialAddress(from.mode().adpSerialAddress());
    to.mode().setAdpLoadMode(from.mode().adpLoadMode());
    to.table().ReplaceAll(from.table().entries());
    to.registers().setTable(from.registers().table());
    if (const QString why = from.registers().notLoaded(); !why.isEmpty())
        to.registers().markNotLoaded(why, from.registers().notLoadedShown());
    for (const auto box : {Workspace::Box::MessageNumber, Workspace::Box::Interval, Workspace::Box::Entry,
                           Workspace::Box::Comment, Workspace::Box::RepeatCaption, Workspace::Box::HeaderLabel})
        to.setBox(box, from.box(box));
    to.entry().setRepeatEnabled(from.entry().repeatEnabled());
    to.MnuModeData_Click();
}

OperationOutcome RunPlanned(Workspace &ws, const PlanRequest &request)
{
    switch (request.operation) {
    case PlannedOperation::QuickSend: return ws.CmdQuickSend_Click();
    case PlannedOperation::Run: return ws.MnuModeRun_Click();
    case PlannedOperation::SignLoad: return ws.MnuLoadSign_Click(request.sign);
    case PlannedOperation::ControllerLoad: return ws.LoadController(request.serialInput);
    case PlannedOperation::Upload: break;
    }
    return {};
}

} // namespace

std::optional<OperationEnd> EndAfter(Workspace &ws, std::optional<double> durationSeconds)
{
    if (!durationSeconds)
        return std::nullopt;
    return std::optional<OperationEnd>(std::in_place,
                                       MonotonicNow() + std::chrono::duration_cast<MonotonicClock::duration>(
                                                            std::chrono::duration<double>(*durationSeconds)),
                                       [&ws] { ws.MnuModeData_Click(); });
}

QString StepLabel(PlannedOperation operation, const QString &step, int messages)
{
    bool isNumber = false;
    const int n = step.toInt(&isNumber);
    if (!isNumber || operation == PlannedOperation::QuickSend || operation == PlannedOperation::Upload)
        return {};
    if (n < 0)
        return QStringLiteral("set-up %1 of 3").arg(n + 4);
    if (operation == PlannedOperation::ControllerLoad && n >= messages)
        return QStringLiteral("configuration");
    return QStringLiteral("message ") + FormatPicture(n, u"000");
}

PlanEnding PlanOperation(const Workspace &ws, const PlanRequest &request, Prompter &prompter,
                         const PlannedFrameSink &frame)
{
    PlanEnding ending;
    // The upload's length is the controller's: only its longest is known.
    if (request.operation == PlannedOperation::Upload) {
        ending.total = Seconds(ScaledInterval(UploadLimitMs));
        ending.atMost = true;
        return ending;
    }
    Workspace planned(prompter);
    CopyState(ws, planned);
    if (request.panelChanged)
        QObject::connect(&planned.status(), &StatusPanels::changed, &planned, [&planned, &request](int panel) {
            request.panelChanged(panel, planned.status().text(panel));
        });
    const int messages = planned.table().count();
    PlannedClock clock;
    const std::optional<OperationEnd> end = EndAfter(planned, request.durationSeconds);
    // Frames that keep coming while the clock stands still (a run that
    // repeats messages without an interval) could go on for ever: the plan
    // ends there with a message.
    double last = -1;
    int standing = 0;
    bool endless = false;
    const PlannedLink link(planned.link(), [&](const QByteArray &bytes) {
        const double at = Seconds(clock.elapsed());
        standing = at == last ? standing + 1 : 0;
        last = at;
        if (standing > messages + 4) {
            endless = true;
            planned.MnuModeData_Click();
            return;
        }
        const QString step = planned.status().text(3);
        if (!frame({at, step, StepLabel(request.operation, step, messages), bytes}))
            planned.MnuModeData_Click();
    });
    ending.outcome = RunPlanned(planned, request);
    ending.total = Seconds(clock.elapsed());
    if (endless) {
        ending.outcome.ending = OperationOutcome::Ending::Failed;
        ending.outcome.reason = QStringLiteral("The run repeats messages without an interval: it cannot be planned.");
        ending.outcome.told = false;
    }
    return ending;
}

} // namespace telvaro
