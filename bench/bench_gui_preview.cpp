// The plan of a 32,766-message table, as the preview makes it and as a load's
// progress window makes it before the first frame, and the preview window
// opened and scrolled to its end with that plan (offscreen). Target: each
// plan under 1 s, so neither an edit nor a load's start waits noticeably.
#include "app/workspace.h"
#include "benchutil.h"
#include "gui/frmpreview.h"
#include "plan/planpreview.h"
#include "plan/stepplan.h"
#include "silentprompter.h"

#include <QApplication>
#include <QScrollBar>
#include <QTableView>

using namespace telvaro;

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    bench::SilentPrompter prompter;
    Workspace ws(prompter);
    QList<MessageEntry> entries(MessageTable::MaxEntries);
    for (int i = 0; i < entries.size(); ++i) {
        entries[i].Number = qint16(i);
        entries[i].Interval = 10;
        entries[i].Text = "<0x02>Message " + QByteArray::number(i) + "<0x03>";
    }
    ws.table().ReplaceAll(entries);
    ws.linkSettings().set({1, "127.0.0.1", "3001", "9600", QStringLiteral("/nonexistent")});
    const int runs = 7;
    double slowest = 0;
    for (const auto &[name, operation] :
         {std::pair{"plan: run", PlannedOperation::Run}, {"plan: controller load", PlannedOperation::ControllerLoad}}) {
        PlanPreview preview;
        const bench::Figures f = bench::Measure(runs, [&, operation = operation] { preview.refresh(ws, operation); });
        bench::Report(name, f, 0);
        std::printf("  %lld frames, %s\n", qlonglong(preview.rowCount()), qPrintable(preview.totalText()));
        slowest = std::max(slowest, f.medianMs);
    }
    const bench::Figures steps = bench::Measure(
        runs, [&] { bench::Keep(PlanSteps(ws, PlanRequest(PlannedOperation::ControllerLoad), prompter)); });
    bench::Report("steps: controller load", steps, 0);
    slowest = std::max(slowest, steps.medianMs);
    ws.mode().setMode(OperatingMode::ControllerLoad);
    QWidget owner;
    bench::Report("window: open and scroll to the end",
                  bench::Measure(runs,
                                 [&] {
                                     FrmPreview window(ws, &owner);
                                     window.show();
                                     auto *frames = window.findChild<QTableView *>();
                                     frames->verticalScrollBar()->setValue(frames->verticalScrollBar()->maximum());
                                     QApplication::processEvents();
                                 }),
                  0);
    return bench::Target("slowest plan of 32,766 messages, median", slowest, bench::Bound::AtMost, 1000, "ms") ? 0 : 1;
}
