#include "run/quicksend.h"

#include "base/clock.h"
#include "base/wait.h"
#include "codec/codepage.h"
#include "codec/escapes.h"
#include "link/link.h"
#include "table/entrypanel.h"

namespace telvaro {

OperationOutcome CmdQuickSend_Click(Operations &operations, const EntryPanel &panel)
{
    OperationFrame frame(operations, Item::CmdQuickSend, OperationFrame::Style::QuickSend);
    if (!frame.start())
        return frame.outcome();
    const QString error = QStringLiteral("Error Going into Run\r\nCommunications not available");
    const auto message = ParseEscapes(TextToBytes(panel.box(EntryPanel::Box::Entry)));
    if (!message)
        return frame.fail(error, QStringLiteral("The text holds an escape outside 0 to 255."));
    if (!frame.connect(error))
        return frame.outcome();
    // An empty text writes nothing; the wait and the close still happen.
    if (!message->isEmpty()) {
        if (operations.link().kind() == LinkKind::Udp)
            operations.link().SendDone = 0;
        if (frame.send(ExpandTimeTokens(*message, LocalNow())) == SendResult::Status::Failed)
            return frame.fail(error, operations.link().lastError());
    }
    Pause(QuickSendHoldMs);
    return frame.finish();
}

} // namespace telvaro
