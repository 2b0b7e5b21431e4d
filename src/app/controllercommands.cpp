// The controller transfers as the window offers them: the question before
// a load, and what a complete upload puts in place of the table.
#include "app/workspace.h"
#include "base/operatortexts.h"
#include "codec/codepage.h"
#include "codec/escapes.h"
#include "codec/numbers.h"
#include "controller/controllerprotocol.h"
#include "controller/controllertransfer.h"

namespace telvaro {

namespace {

// What a complete upload puts in the table's place, or why it puts nothing.
struct UploadedTable {
    QList<MessageEntry> entries;
    RegisterTable registers{};
    QString refusal;
};

// Each message as Add would store it at the end of an emptied table. The
// controller's messages alone, without the blank one "&New" leaves (loaded
// back, an empty frame would wait for an answer that never comes).
UploadedTable BuildUploadedTable(const UploadContents &contents, qint32 interval, const QByteArray &comment)
{
    UploadedTable built;
    for (const auto &[number, entry] : contents.registers)
        built.registers.at(size_t(number)) = entry;
    for (const UploadPiece &piece : contents.pieces) {
        if (piece.kind != UploadPiece::Kind::Message)
            continue;
        const auto sendData = ParseEscapes(piece.text);
        if (!sendData)
            return {{}, {}, texts::EscapeOutOfRange()};
        if (built.entries.size() >= MessageTable::MaxEntries)
            return {{}, {}, texts::TableFull()};
        const auto number = static_cast<qint16>(built.entries.size());
        built.entries.append({number, interval, piece.text, *sendData, comment});
    }
    return built;
}

// told: the message shown holds the reason, so it is not repeated.
OperationOutcome Failure(OperationOutcome outcome, const QString &reason, bool told = true)
{
    outcome.ending = OperationOutcome::Ending::Failed;
    outcome.reason = reason;
    outcome.told = told;
    return outcome;
}

} // namespace

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
    if (!m_menus.item(Item::MnuLoadController).enabled || m_operations.holdsLink() ||
        !m_registers.notLoaded().isEmpty())
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
    // Registers other than the table's would go out with its messages.
    if (const QString why = m_registers.notLoaded();
        !why.isEmpty() && m_menus.item(Item::MnuLoadController).enabled && !m_operations.holdsLink()) {
        const QString reason = QStringLiteral("The registers did not load: ") + why;
        m_prompter.inform(QStringLiteral("Error Loading Controller"), reason);
        return Failure({}, reason);
    }
    m_loadedSerialInterface = serialInterface;
    return telvaro::MnuLoadController_Click(m_operations, m_table, m_registers.table(), m_entry, serialInterface);
}

OperationOutcome Workspace::MnuUploadController_Click()
{
    // The interval and the comment every uploaded message gets are the boxes'
    // now: an upload Add would refuse ends before the controller is woken.
    const auto interval = AddInterval();
    if (!interval && m_menus.item(Item::MnuUploadController).enabled && !m_operations.holdsLink()) {
        m_prompter.inform(texts::IntervalOutOfRange());
        return Failure(
            {}, QStringLiteral("The interval box holds no interval from 0 to 600000 ms; nothing was uploaded."), false);
    }
    const QByteArray comment = TextToBytes(box(Box::Comment));
    const QList<MessageEntry> tableBefore = m_table.entries();
    const RegisterTable registersBefore = m_registers.table();
    UploadTransfer transfer = UploadFromController(m_operations);
    OperationOutcome &outcome = transfer.outcome;
    if (outcome.ending != OperationOutcome::Ending::Done)
        return outcome;
    const UploadContents contents = ParseUpload(transfer.buffer);
    if (!contents.error.isEmpty()) {
        m_prompter.inform(QStringLiteral("Error Loading Controller"), contents.error);
        return Failure(outcome, contents.error);
    }
    const UploadedTable uploaded = BuildUploadedTable(contents, interval.value_or(0), comment);
    if (!uploaded.refusal.isEmpty()) {
        m_prompter.inform(uploaded.refusal);
        return Failure(outcome, uploaded.refusal);
    }
    const QString uploadTitle = QStringLiteral("Controller Upload");
    // The window stays open to edits during the upload's waits; what the
    // operator changed meanwhile is replaced only when the operator says so.
    if ((m_table.entries() != tableBefore || m_registers.table() != registersBefore) &&
        m_prompter.message(ChangedDuringUploadText(), uploadTitle, Prompter::Buttons::YesNo,
                           Prompter::Icon::Question) != Prompter::Answer::Yes) {
        outcome.ending = OperationOutcome::Ending::Stopped;
        outcome.reason = QStringLiteral("The upload was not put in place of the table changed meanwhile.");
        return outcome;
    }
    m_table.ReplaceAll(uploaded.entries);
    m_registers.setTable(uploaded.registers);
    setBox(Box::MessageNumber, MessageNumberText(m_table.count()));
    m_table.RefreshGrid();
    for (const UploadPiece &piece : contents.pieces) {
        if (piece.kind == UploadPiece::Kind::SerialInput)
            m_prompter.message(QStringLiteral("Controller configured for Serial Input"), uploadTitle);
        else if (piece.kind == UploadPiece::Kind::BinaryInput)
            m_prompter.message(QStringLiteral("Controller configured for Binary Input"), uploadTitle);
    }
    if (!contents.configurationSeen) {
        m_prompter.message(QStringLiteral("Incomplete load from Controller"), QStringLiteral("Configuration Upload"));
        return Failure(outcome, QStringLiteral("The upload ended without its configuration frame."));
    }
    return outcome;
}

QString Workspace::ChangedDuringUploadText()
{
    return QStringLiteral("The table or the registers were changed during the upload.\r\n\r\n"
                          "Replace them with the messages and registers of the controller?");
}

} // namespace telvaro
