#include "app/verification.h"

#include "app/workspace.h"
#include "base/operatortexts.h"
#include "controller/controllertransfer.h"

namespace telvaro {

QString VerifyWindowTitle()
{
    return QStringLiteral("Verify Controller");
}

QString ControllerHoldsTheTableText()
{
    return QStringLiteral("The controller holds exactly the table and the registers on screen.");
}

QString VerifyNowQuestion()
{
    return QStringLiteral("The controller is loaded.\r\n\r\nRead it back now and compare it with the table?");
}

std::optional<ControllerVerification> Workspace::MnuVerifyController_Click()
{
    // A command that could not start asks nothing.
    if (!m_menus.item(Item::MnuVerifyController).enabled || m_operations.holdsLink())
        return VerifyController(false);
    const auto answer =
        m_prompter.message(QStringLiteral("Is this a serial interface controller?"), QStringLiteral("Controller Setup"),
                           Prompter::Buttons::YesNoCancel, Prompter::Icon::Question);
    if (answer == Prompter::Answer::Cancel)
        return std::nullopt;
    return VerifyController(answer == Prompter::Answer::Yes);
}

ControllerVerification Workspace::VerifyController(bool serialInterface)
{
    ControllerVerification verification;
    OperationOutcome &outcome = verification.outcome;
    const bool canStart = m_menus.item(Item::MnuVerifyController).enabled && !m_operations.holdsLink();
    // What is compared is what a load of the screen's table would send:
    // nothing is read when that cannot be known.
    std::optional<ControllerImage> sent;
    QString refusal;
    if (const QString why = m_registers.notLoaded(); !why.isEmpty())
        refusal = QStringLiteral("The registers did not load: ") + why;
    else if (sent = TableAsSent(m_table, m_registers.table(), serialInterface); !sent)
        refusal = texts::EscapeOutOfRange();
    if (!refusal.isEmpty() && canStart) {
        m_prompter.message(refusal + QStringLiteral("\r\nNothing was read back."), VerifyWindowTitle(),
                           Prompter::Buttons::Ok, Prompter::Icon::Critical);
        outcome.ending = OperationOutcome::Ending::Failed;
        outcome.reason = refusal;
        outcome.told = true;
        return verification;
    }
    UploadTransfer transfer = UploadFromController(m_operations, Item::MnuVerifyController);
    outcome = transfer.outcome;
    if (outcome.ending != OperationOutcome::Ending::Done || !sent)
        return verification;
    verification.result = CompareReadBack(*sent, transfer.received);
    verification.compared = true;
    m_transcript.verified(verification.result.lines.constLast(), verification.result.same());
    return verification;
}

std::optional<ControllerVerification> Workspace::OfferVerification(const OperationOutcome &load)
{
    if (!load.complete() || m_link.kind() != LinkKind::Serial)
        return std::nullopt;
    if (m_prompter.message(VerifyNowQuestion(), VerifyWindowTitle(), Prompter::Buttons::YesNo,
                           Prompter::Icon::Question) != Prompter::Answer::Yes)
        return std::nullopt;
    return VerifyController(m_loadedSerialInterface);
}

} // namespace telvaro
