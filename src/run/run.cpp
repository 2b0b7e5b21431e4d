#include "run/run.h"

#include "app/clock.h"
#include "app/pause.h"
#include "app/workspace.h"
#include "codec/codepage.h"
#include "codec/escapes.h"
#include "codec/numbers.h"
#include "link/link.h"

#include <QCoreApplication>

namespace telvaro {

namespace {
const QString runItem = QStringLiteral("MnuModeRun");
} // namespace

void MnuModeRun_Click(Workspace &ws)
{
    // A disabled command cannot be chosen, and no run starts inside the
    // waits of another operation that still holds the link.
    if (!ws.item(runItem).enabled)
        return;
    Link &link = ws.link();
    const LinkHold hold(link);
    if (!hold.acquired())
        return;

    ws.setItemChecked(QStringLiteral("MnuModeData"), false);
    ws.setItem(runItem, {ws.item(runItem).visible, false, true});
    ws.setItemEnabled(QStringLiteral("MnuCommunication"), false);
    ws.setItemEnabled(QStringLiteral("CmdQuickSend"), false);
    ws.Transmitting = 1;

    auto fail = [&ws] {
        ws.prompter().inform(QStringLiteral("Error Going into Run"));
        ws.MnuModeData_Click();
    };

    const LinkKind kind = link.kind();
    if (!link.OpenLink())
        return fail();
    if (kind != LinkKind::Udp && !link.CheckLink()) {
        ws.MnuModeData_Click();
        return;
    }

    MessageTable &table = ws.table();
    const int bound = table.UpperIndex();
    qint64 i = 0;
    while (i <= bound) {
        if (ws.Transmitting == 0) {
            ws.setStatusPanel(3, QStringLiteral("Off"));
            break;
        }
        // The table may have changed during the last wait: an entry that is
        // gone, or a repeat point below 0, cannot be sent.
        if (!table.hasPosition(i))
            return fail();
        const int position = static_cast<int>(i);
        ws.setStatusPanel(3, QString::number(position));
        Q_EMIT ws.gridHighlightRequested(position + 1, MessageTable::ColInterval, MessageTable::ColComment);

        MessageEntry &entry = table.entry(position);
        const auto sendData = ParseEscapes(entry.Text);
        if (!sendData)
            return fail();
        entry.SendData = *sendData;
        const auto shown = link.SendOnLink(ExpandTimeTokens(*sendData, LocalNow()));
        if (!shown)
            return fail();
        ws.setStatusPanel(2, QString());
        ws.setStatusPanel(2, BytesToText(*shown));

        const qint32 interval = entry.Interval;
        // Intervals of 0 or above ten minutes do not wait; events are still
        // processed once per entry so that data entry can stop the run.
        if (interval <= 0 || Pause(interval) == 0)
            QCoreApplication::processEvents();

        if (ws.repeatEnabled() && i == table.UpperIndex()) {
            const auto repeat = RoundToInt64(LenientValue(ws.box(Workspace::Box::RepeatCaption)) - 1);
            if (!repeat)
                return fail();
            i = *repeat;
        }
        ++i;
    }
    Pause(RunEndWaitMs);
    ws.MnuModeData_Click();
}

} // namespace telvaro
