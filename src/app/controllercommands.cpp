// The controller transfers as the window offers them: the question before
// a load, and what a complete upload puts in place of the table.
#include "app/workspace.h"
#include "codec/codepage.h"
#include "controller/controllerprotocol.h"
#include "controller/controllertransfer.h"

namespace telvaro {

void Workspace::NewTable()
{
    m_table.ReplaceAll(QList<MessageEntry>(1));
    setBox(Box::MessageNumber, QStringLiteral("000"));
    m_registers.reset();
    m_table.RefreshGrid();
}

OperationOutcome Workspace::MnuLoadController_Click()
{
    // A command that could not start asks nothing.
    if (!m_menus.item(Item::MnuLoadController).enabled || m_operations.holdsLink())
        return LoadController(false);
    const auto answer =
        m_prompter.message(QStringLiteral("Is this a serial interface controller?"), QStringLiteral("Controller Setup"),
                           Prompter::Buttons::YesNoCancel, Prompter::Icon::Question);
    if (answer == Prompter::Answer::Cancel) {
        OperationOutcome cancelled;
        cancelled.ending = OperationOutcome::Ending::Stopped;
        return cancelled;
    }
    return LoadController(answer == Prompter::Answer::Yes);
}

OperationOutcome Workspace::LoadController(bool serialInterface)
{
    return telvaro::MnuLoadController_Click(m_operations, m_table, m_registers.table(), m_entry, serialInterface);
}

OperationOutcome Workspace::MnuUploadController_Click()
{
    UploadTransfer transfer = UploadFromController(m_operations);
    OperationOutcome &outcome = transfer.outcome;
    if (outcome.ending != OperationOutcome::Ending::Done)
        return outcome;
    const UploadContents contents = ParseUpload(transfer.buffer);
    if (!contents.error.isEmpty()) {
        m_prompter.inform(QStringLiteral("Error Loading Controller"), contents.error);
        outcome.ending = OperationOutcome::Ending::Failed;
        outcome.reason = contents.error;
        outcome.told = true;
        return outcome;
    }
    // Only now does the upload have something to put in the table's place:
    // the controller's messages alone, without the blank one "&New" leaves
    // (loaded back, an empty frame would wait for an answer that never comes).
    NewTable();
    m_table.ReplaceAll({});
    m_table.RefreshGrid();
    for (const auto &[number, entry] : contents.registers)
        m_registers.setEntry(size_t(number), entry);
    const QString uploadTitle = QStringLiteral("Controller Upload");
    for (const UploadPiece &piece : contents.pieces) {
        switch (piece.kind) {
        case UploadPiece::Kind::Message:
            setBox(Box::Entry, BytesToText(piece.text));
            CmdAddMessage_Click();
            break;
        case UploadPiece::Kind::SerialInput:
            m_prompter.message(QStringLiteral("Controller configured for Serial Input"), uploadTitle);
            break;
        case UploadPiece::Kind::BinaryInput:
            m_prompter.message(QStringLiteral("Controller configured for Binary Input"), uploadTitle);
            break;
        }
    }
    if (!contents.configurationSeen) {
        m_prompter.message(QStringLiteral("Incomplete load from Controller"), QStringLiteral("Configuration Upload"));
        outcome.ending = OperationOutcome::Ending::Failed;
        outcome.reason = QStringLiteral("The upload ended without its configuration frame.");
    }
    return outcome;
}

} // namespace telvaro
