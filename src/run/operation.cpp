#include "run/operation.h"

#include "base/prompter.h"
#include "base/statuspanels.h"
#include "base/transfer.h"
#include "codec/codepage.h"
#include "link/link.h"
#include "run/progress.h"

namespace telvaro {

QStringList OutcomeDetails(const OperationOutcome &outcome)
{
    using Ending = OperationOutcome::Ending;
    QStringList lines;
    if (outcome.ending == Ending::Failed || outcome.ending == Ending::ConnectionFailed || outcome.linkDropped)
        lines << outcome.reason;
    // Frames tried on a link that was not open say so; frames never tried
    // count as not sent all the same.
    const int notSent = outcome.framesNotSent + outcome.framesNotTried;
    if (notSent > 0)
        lines << QStringLiteral("%1 of %2 frames were not sent%3.")
                     .arg(notSent)
                     .arg(notSent + outcome.framesSent)
                     .arg(outcome.framesNotTried == 0 ? QStringLiteral(" (Port Not Open)") : QString());
    if (outcome.bytesNotSent > 0)
        lines << QStringLiteral("%1 bytes were still queued for the device when the link closed.")
                     .arg(outcome.bytesNotSent);
    lines << outcome.deviceState;
    lines.removeAll(QString());
    return lines;
}

Operations::Operations(MenuState &menus, TransferState &transfer, StatusPanels &panels, Progress &progress, Link &link,
                       Prompter &prompter, QObject *parent)
    : QObject(parent), m_menus(menus), m_transfer(transfer), m_panels(panels), m_progress(progress), m_link(link),
      m_prompter(prompter)
{
    connect(&m_link, &Link::linkFailed, this, &Operations::onLinkFailed);
    connect(&m_link, &Link::deviceClosed, this, &Operations::onDeviceClosed);
}

void Operations::MnuModeData_Click()
{
    if (m_held)
        m_stopRequested = true;
    m_progress.Done();
    m_menus.setItem(Item::MnuModeData, {m_menus.item(Item::MnuModeData).visible, true, true});
    m_menus.setChecked(Item::MnuModeRun, false);
    m_menus.setEnabled(Item::MnuModeRun, true);
    m_menus.setEnabled(Item::MnuDisplayLoaded, true);
    for (Item load : {Item::MnuLoadSign, Item::MnuLoadController}) {
        m_menus.setEnabled(load, true);
        m_menus.setChecked(load, false);
    }
    m_menus.setEnabled(Item::MnuCommunication, true);
    m_menus.setEnabled(Item::CmdQuickSend, true);
    m_transfer.setTransmitting(0);
    m_link.CloseLink();
    m_panels.setText(2, QStringLiteral("No Traffic"));
    m_panels.setText(3, QStringLiteral("Off"));
}

void Operations::noteDrop(const QString &description)
{
    if (m_held && !m_linkDropped) {
        m_linkDropped = true;
        m_dropReason = description;
        m_droppedPending = m_link.pendingBytes();
    }
}

void Operations::onLinkFailed(const QString &description)
{
    if (m_checking)
        return;
    noteDrop(description);
    // Data entry stops whatever uses the link and closes it.
    MnuModeData_Click();
}

void Operations::onDeviceClosed(const QString &description)
{
    if (m_checking)
        return;
    noteDrop(description);
    // A transfer has nothing more to wait for; a quick send's hold closes
    // the link itself.
    if (m_held && !m_heldByQuickSend)
        MnuModeData_Click();
}

OperationFrame::OperationFrame(Operations &operations, Item entry, Style style)
    : m_ops(operations), m_entry(entry), m_style(style)
{
}

OperationFrame::~OperationFrame()
{
    release();
}

bool OperationFrame::start()
{
    MenuState &menus = m_ops.menus();
    // A disabled command cannot be chosen, and nothing starts inside the
    // waits of an operation that still holds the link.
    if (m_ops.m_held || !menus.item(m_entry).enabled) {
        m_outcome.ending = OperationOutcome::Ending::Refused;
        m_outcome.reason = QStringLiteral("Another operation is using the link.");
        m_ended = true;
        if (m_ops.m_held) {
            m_ops.prompter().inform(m_outcome.reason, QStringLiteral("Wait for it to end, or choose Data Entry."));
            m_outcome.told = true;
        }
        return false;
    }
    m_ops.m_held = true;
    m_ops.m_heldByQuickSend = m_style == Style::QuickSend;
    m_ops.m_stopRequested = false;
    m_ops.m_linkDropped = false;
    m_ops.m_droppedPending = 0;
    m_ops.m_dropReason.clear();
    m_holding = true;
    menus.setLinkHeld(true);

    menus.setEnabled(Item::CmdQuickSend, false);
    // A quick send marks the rest once its text has been read.
    if (m_style == Style::Transfer) {
        menus.setChecked(Item::MnuModeData, false);
        menus.setItem(m_entry, {menus.item(m_entry).visible, false, true});
        markTransmitting();
    }
    return true;
}

void OperationFrame::markTransmitting()
{
    MenuState &menus = m_ops.menus();
    if (m_style == Style::QuickSend)
        menus.setEnabled(Item::MnuMode, false);
    menus.setEnabled(Item::MnuCommunication, false);
    m_ops.transfer().setTransmitting(1);
}

bool OperationFrame::connect(const QString &openFailureMessage)
{
    if (m_style == Style::QuickSend)
        markTransmitting();
    m_failureText = openFailureMessage;
    Link &link = m_ops.link();
    const LinkKind kind = link.kind();
    if (kind == LinkKind::Serial && !takeLine())
        return false;
    // A device that takes the connection and leaves it at once is reported
    // by the check with the state it left, as for every operation.
    m_ops.m_checking = true;
    const bool opened = link.OpenLink();
    m_ops.m_checking = false;
    if (opened && m_ops.transfer().transmitting() == 0) {
        // Stopped while connecting: no connection had failed.
        m_outcome.ending = OperationOutcome::Ending::Stopped;
        end(false);
        return false;
    }
    if (!opened) {
        // An adapter that is not plugged in is named, with what is.
        const bool missing = kind == LinkKind::Serial && link.serial().deviceMissing();
        fail(missing ? openFailureMessage + QStringLiteral("\r\n") + link.lastError() : openFailureMessage,
             link.lastError());
        m_outcome.ending = OperationOutcome::Ending::ConnectionFailed;
        return false;
    }
    if (kind != LinkKind::Udp && !link.CheckLink()) {
        m_outcome.ending = OperationOutcome::Ending::ConnectionFailed;
        m_outcome.reason = link.connectionFailureReason();
        m_outcome.told = true;
        // The check has said why; the traffic panel stays as it was.
        end(false);
        return false;
    }
    return true;
}

bool OperationFrame::takeLine()
{
    const QString device = m_ops.link().serialDevice();
    if (device.isEmpty())
        return true;
    LineLock &line = m_ops.m_line;
    for (;;) {
        switch (line.tryTake(device)) {
        case LineLock::Take::Taken: return true;
        case LineLock::Take::Failed:
            failWithReason(line.error());
            m_outcome.ending = OperationOutcome::Ending::ConnectionFailed;
            return false;
        case LineLock::Take::Busy: break;
        }
        if (!m_ops.m_waitForLine) {
            failWithReason(LineBusyText(device, line.holder()));
            m_outcome.ending = OperationOutcome::Ending::Refused;
            return false;
        }
        if (Wait(Operations::LineLookMs).stopWhenIdle(m_ops.transfer()).run() == Wait::End::Stopped) {
            m_outcome.ending = OperationOutcome::Ending::Stopped;
            end(false);
            return false;
        }
    }
}

SendResult::Status OperationFrame::send(const QByteArray &bytes, QByteArray *shownLater)
{
    const SendResult sent = m_ops.link().SendOnLink(bytes);
    if (sent.status == SendResult::Status::Failed)
        return sent.status;
    if (sent.status == SendResult::Status::NotSent)
        ++m_outcome.framesNotSent;
    else
        ++m_outcome.framesSent;
    if (shownLater)
        *shownLater = sent.shown;
    else
        showTraffic(sent.shown);
    return sent.status;
}

void OperationFrame::showTraffic(const QByteArray &shown)
{
    StatusPanels &panels = m_ops.panels();
    panels.setText(2, QString());
    panels.setText(2, BytesToText(shown));
}

bool OperationFrame::stopped()
{
    const bool stopped = m_ops.transfer().transmitting() == 0;
    if (stopped && m_ops.m_linkDropped)
        m_outcome.linkDropped = true;
    return stopped;
}

void OperationFrame::leaveUntried(int frames)
{
    if (m_outcome.linkDropped)
        m_outcome.framesNotTried += qMax(0, frames);
}

OperationOutcome OperationFrame::finish()
{
    if (m_ended)
        return m_outcome;
    bool taken = true;
    if (m_ops.transfer().transmitting() != 0) {
        if (const QString lost = m_ops.link().lossReason(); !lost.isEmpty())
            m_ops.noteDrop(lost);
        m_outcome.bytesNotSent = m_ops.link().DrainLink();
        // Sent is not taken: the device may still reset the connection.
        if (!m_ops.m_linkDropped && m_outcome.bytesNotSent == 0 && !m_ops.link().EndSending()) {
            taken = false;
            m_ops.noteDrop(m_ops.link().lastError());
        }
    }
    if (m_ops.m_linkDropped) {
        // A device that closes once everything was out (one closing after
        // each message, say) took all it was sent; one that resets drops
        // what it had not read yet.
        m_outcome.bytesNotSent = qMax(m_outcome.bytesNotSent, m_ops.m_droppedPending);
        const bool cut = m_outcome.linkDropped || m_outcome.bytesNotSent > 0 || m_outcome.framesNotSent > 0;
        const bool reset = m_ops.link().deviceReset();
        if (cut || reset || !taken) {
            m_outcome.linkDropped = true;
            m_outcome.ending = OperationOutcome::Ending::Failed;
        }
        m_outcome.reason = reset && !cut ? QStringLiteral("The device reset the connection; anything it had not "
                                                          "yet read was lost.")
                                         : m_ops.m_dropReason;
    } else if (m_ops.m_stopRequested) {
        m_outcome.ending = OperationOutcome::Ending::Stopped;
    }
    if (!m_outcome.complete() && m_deviceState)
        m_outcome.deviceState = m_deviceState();
    end(true);
    if (!m_outcome.complete() && m_outcome.ending != OperationOutcome::Ending::Stopped) {
        const QStringList details = OutcomeDetails(m_outcome);
        m_ops.prompter().inform(m_failureText + QStringLiteral("\r\n") + details.join(QStringLiteral("\r\n")));
        m_outcome.told = true;
    }
    return m_outcome;
}

OperationOutcome OperationFrame::failWithReason(const QString &reason)
{
    return fail(m_failureText + QStringLiteral("\r\n") + reason, reason);
}

OperationOutcome OperationFrame::fail(const QString &message, const QString &reason)
{
    if (m_ended)
        return m_outcome;
    if (m_deviceState)
        m_outcome.deviceState = m_deviceState();
    if (!message.isEmpty()) {
        // What the device is left with follows the reason.
        QString shown = message;
        if (!m_outcome.deviceState.isEmpty()) {
            if (!shown.contains(reason))
                shown += QStringLiteral("\r\n") + reason;
            shown += QStringLiteral("\r\n") + m_outcome.deviceState;
        }
        m_ops.prompter().inform(shown);
        m_outcome.told = shown.contains(reason);
    }
    m_outcome.linkDropped = m_outcome.linkDropped || m_ops.m_linkDropped;
    m_outcome.ending = OperationOutcome::Ending::Failed;
    m_outcome.reason = reason;
    end(true);
    return m_outcome;
}

void OperationFrame::end(bool resetTraffic)
{
    m_ended = true;
    if (m_style == Style::Transfer) {
        m_ops.MnuModeData_Click();
        // Its own entry is enabled and unchecked again, whichever it is.
        MenuState &menus = m_ops.menus();
        menus.setItem(m_entry, {menus.item(m_entry).visible, true, false});
    } else {
        MenuState &menus = m_ops.menus();
        // Whatever was opened is released, a serial port included.
        m_ops.link().CloseLink();
        if (resetTraffic)
            m_ops.panels().setText(2, QStringLiteral("No Traffic"));
        for (Item item : {Item::MnuMode, Item::MnuCommunication, Item::CmdQuickSend})
            menus.setEnabled(item, true);
    }
    release();
}

void OperationFrame::release()
{
    if (!m_holding)
        return;
    m_holding = false;
    m_ops.m_line.release();
    m_ops.m_held = false;
    m_ops.menus().setLinkHeld(false);
}

} // namespace telvaro
