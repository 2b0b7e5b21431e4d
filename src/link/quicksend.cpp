#include "link/quicksend.h"

#include "app/clock.h"
#include "app/pause.h"
#include "app/workspace.h"
#include "codec/codepage.h"
#include "codec/escapes.h"
#include "link/link.h"

namespace telvaro {

namespace {

const QString quickSend = QStringLiteral("CmdQuickSend");
const QString actionMenu = QStringLiteral("MnuMode");
const QString communicationMenu = QStringLiteral("MnuCommunication");

void enableControls(Workspace &ws)
{
    ws.setItemEnabled(actionMenu, true);
    ws.setItemEnabled(communicationMenu, true);
    ws.setItemEnabled(quickSend, true);
}

} // namespace

void CmdQuickSend_Click(Workspace &ws)
{
    // A disabled button cannot be pressed, and nothing starts inside the
    // waits of an operation that still holds the link.
    if (!ws.item(quickSend).enabled)
        return;
    Link &link = ws.link();
    const LinkHold hold(link);
    if (!hold.acquired())
        return;

    auto fail = [&ws, &link] {
        ws.prompter().inform(QStringLiteral("Error Going into Run\r\nCommunications not available"));
        ws.setItemEnabled(actionMenu, true);
        ws.setItemEnabled(communicationMenu, true);
        // Whatever was opened is released, a serial port included.
        link.CloseLink();
        ws.setStatusPanel(2, QStringLiteral("No Traffic"));
        ws.setItemEnabled(quickSend, true);
    };

    ws.setItemEnabled(quickSend, false);
    const auto message = ParseEscapes(TextToBytes(ws.box(Workspace::Box::Entry)));
    if (!message)
        return fail();
    ws.setItemEnabled(actionMenu, false);
    ws.setItemEnabled(communicationMenu, false);
    ws.Transmitting = 1;

    const LinkKind kind = link.kind();
    if (!link.OpenLink())
        return fail();
    if (kind != LinkKind::Udp && !link.CheckLink()) {
        link.CloseLink();
        enableControls(ws);
        return;
    }
    if (!message->isEmpty()) {
        const QByteArray sendForm = ExpandTimeTokens(*message, LocalNow());
        if (kind == LinkKind::Udp)
            link.SendDone = 0;
        const auto shown = link.SendOnLink(sendForm);
        if (!shown)
            return fail();
        ws.setStatusPanel(2, QString());
        ws.setStatusPanel(2, BytesToText(*shown));
    }
    Pause(QuickSendHoldMs);
    link.CloseLink();
    ws.setStatusPanel(2, QStringLiteral("No Traffic"));
    enableControls(ws);
}

} // namespace telvaro
