#include "controller/controllertransfer.h"

#include "base/statuspanels.h"
#include "base/transfer.h"
#include "base/wait.h"
#include "codec/codepage.h"
#include "codec/escapes.h"
#include "controller/controllerprotocol.h"
#include "run/messagestep.h"
#include "run/progress.h"
#include "table/entrypanel.h"
#include "table/messagetable.h"

namespace telvaro {

namespace {

const QString loadError = QStringLiteral("Error Loading Controller");

// One poll's wait; "&Data Entry" ends it at once.
void pollWait(Operations &operations, int ms)
{
    Wait(ms).stopWhenIdle(operations.transfer()).run();
}

enum class Reply { Matched, GaveUp, Stopped };

// Polls the serial port until what came is exactly the expected reply.
Reply ReplyWait(Operations &operations, const QByteArray &expected, QByteArray &collected)
{
    SerialPortService &serial = operations.link().serial();
    collected.clear();
    for (int polls = 0; polls < ReplyPolls; ++polls) {
        pollWait(operations, ReplyPollMs);
        if (operations.transfer().transmitting() == 0)
            return Reply::Stopped;
        // A reply that grew past the expected one can never match again:
        // keep just enough to know that, however much a device sends.
        collected = (collected + serial.takeInput()).left(expected.size() + 1);
        if (collected == expected) {
            collected += serial.takeInput();
            return Reply::Matched;
        }
    }
    return Reply::GaveUp;
}

} // namespace

OperationOutcome MnuLoadController_Click(Operations &operations, MessageTable &table, const RegisterTable &registers,
                                         EntryPanel &panel, bool serialInterface)
{
    OperationFrame frame(operations, Item::MnuLoadController, OperationFrame::Style::Transfer);
    if (!frame.start())
        return frame.outcome();
    if (!frame.connect(loadError))
        return frame.outcome();

    Link &link = operations.link();
    StatusPanels &panels = operations.panels();
    Progress &progress = operations.progress();
    // The set-up frames before the messages, the configuration frame after.
    progress.Start(-FirstControllerStep, 1);
    const int upper = table.UpperIndex();
    // The frames from step on: the messages that are not empty and the
    // configuration frame.
    const auto framesFrom = [&](int step) {
        int frames = 1;
        for (int message = qMax(step, 0); message <= upper && table.hasPosition(message); ++message)
            frames += table.entry(message).Text.isEmpty() ? 0 : 1;
        return step > upper + 1 ? 0 : frames + qMax(0, -step);
    };
    for (int step = FirstControllerStep; step <= upper + 1; ++step) {
        if (frame.stopped()) {
            panels.setText(3, QStringLiteral("Off"));
            frame.leaveUntried(framesFrom(step));
            break;
        }
        panels.setText(3, QString::number(step));
        QByteArray bytes;
        if (step < 0 || step > upper) {
            bytes = step < 0 ? ControllerSetupFrame(step, registers) : ConfigurationFrame(serialInterface);
            if (step < upper && !progress.Update(0, qint16(upper), bytes))
                return frame.fail(loadError, QStringLiteral("The table is empty: there is nothing to load."));
        } else {
            const MessageStep message = TakeMessageStep(table, step);
            if (!message.failure.isEmpty())
                return frame.fail(loadError, message.failure);
            bytes = message.bytes;
            progress.Update(qint16(step), qint16(upper), bytes);
            // An empty message ("&New" leaves one) is no frame: nothing to
            // write and no reply to wait for.
            if (bytes.isEmpty()) {
                frame.showTraffic({});
                continue;
            }
        }
        const bool awaitReply = link.kind() == LinkKind::Serial && link.serial().isOpen();
        if (awaitReply) {
            link.serial().setReceiveThreshold(1);
            link.serial().expectReply(ControllerReply(step));
        }
        QByteArray shown;
        const SendResult::Status sent = frame.send(bytes, &shown);
        if (sent == SendResult::Status::Failed)
            return frame.fail(loadError, link.lastError());
        if (!awaitReply || sent != SendResult::Status::Sent) {
            frame.showTraffic(shown);
            continue;
        }
        QByteArray reply;
        switch (ReplyWait(operations, ControllerReply(step), reply)) {
        case Reply::Matched:
            panel.setBox(EntryPanel::Box::RecData, BytesToText(reply));
            frame.showTraffic(shown);
            break;
        case Reply::Stopped:
            frame.stopped();
            frame.leaveUntried(framesFrom(step + 1));
            return frame.finish();
        case Reply::GaveUp:
            return frame.fail(QStringLiteral("Serial Connection Failed."),
                              QStringLiteral("No reply %1 to step %2.")
                                  .arg(QString::fromLatin1(FormatReceived(ControllerReply(step))))
                                  .arg(step));
        }
    }
    return frame.finish();
}

UploadTransfer UploadFromController(Operations &operations)
{
    UploadTransfer result;
    OperationFrame frame(operations, Item::MnuUploadController, OperationFrame::Style::Transfer);
    if (!frame.start()) {
        result.outcome = frame.outcome();
        return result;
    }
    Link &link = operations.link();
    auto fail = [&](const QString &message, const QString &reason) {
        result.outcome = frame.fail(message, reason);
        return result;
    };
    // Refused before anything is opened: the upload talks to a serial port.
    if (link.kind() != LinkKind::Serial)
        return fail(loadError, QStringLiteral("The upload reads a serial port; choose a port number of 1 or above."));
    if (!frame.connect(loadError)) {
        result.outcome = frame.outcome();
        return result;
    }
    SerialPortService &serial = link.serial();
    if (!serial.write(WakeUpFrame()))
        return fail(loadError, serial.errorString());
    frame.countWritten();
    int polls = 0;
    while (serial.bytesWaiting() < WakeUpReply().size() && polls < WakeUpPolls) {
        pollWait(operations, WakeUpPollMs);
        ++polls;
        if (frame.stopped()) {
            result.outcome = frame.finish();
            return result;
        }
    }
    const QByteArray wakeUp = serial.takeInput();
    if (polls == WakeUpPolls || wakeUp != WakeUpReply())
        return fail(QStringLiteral("Failed to connect to controller."),
                    QStringLiteral("The controller answered %1.").arg(QString::fromLatin1(FormatReceived(wakeUp))));

    if (!serial.write(UploadRequestFrame()))
        return fail(loadError, serial.errorString());
    frame.countWritten();
    TransferState &transfer = operations.transfer();
    transfer.setUploadState(1);
    serial.setReceiveThreshold(1);
    for (polls = 0; transfer.uploadState() == 1; ++polls) {
        if (polls >= UploadPolls) {
            transfer.setUploadState(3);
            break;
        }
        // Only the new text (and what may join it) is searched.
        const qsizetype from = qMax<qsizetype>(0, result.buffer.size() - ConfigurationText(true).size() + 1);
        const QByteArray input = serial.takeInput();
        result.received += input;
        result.buffer += FormatReceived(input);
        if (result.buffer.size() > UploadLimit)
            return fail(loadError, QStringLiteral("The controller sent more than an upload can hold."));
        if (result.buffer.indexOf(ConfigurationText(false), from) >= 0 ||
            result.buffer.indexOf(ConfigurationText(true), from) >= 0)
            transfer.setUploadState(0);
        pollWait(operations, UploadPollMs);
        // "&Data Entry" ends the upload; what came so far is not used.
        if (frame.stopped() && transfer.uploadState() == 1) {
            transfer.setUploadState(0);
            result.outcome = frame.finish();
            return result;
        }
    }
    if (transfer.uploadState() == 3) {
        transfer.setUploadState(0);
        return fail(QStringLiteral("Upload Interrupted.\r\nPower-Cycle Controller and Try again"),
                    QStringLiteral("The configuration frame did not come within 60 seconds."));
    }
    result.outcome = frame.finish();
    return result;
}

} // namespace telvaro
