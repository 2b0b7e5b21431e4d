#include "run/operation.h"

#include "base/prompter.h"
#include "base/statuspanels.h"
#include "base/transfer.h"
#include "codec/codepage.h"
#include "link/link.h"
#include "run/progress.h"

namespace telvaro {

Operations::Operations(MenuState &menus, TransferState &transfer, StatusPanels &panels, Progress &progress, Link &link,
                       Prompter &prompter, QObject *parent)
    : QObject(parent), m_menus(menus), m_transfer(transfer), m_panels(panels), m_progress(progress), m_link(link),
      m_prompter(prompter)
{
    connect(&m_link, &Link::linkFailed, this, &Operations::onLinkFailed);
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

void Operations::onLinkFailed(const QString &description)
{
    if (m_held && !m_linkDropped) {
        m_linkDropped = true;
        m_dropReason = description;
    }
    // Data entry stops whatever uses the link and closes it.
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
        m_ended = true;
        return false;
    }
    m_ops.m_held = true;
    m_ops.m_stopRequested = false;
    m_ops.m_linkDropped = false;
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
    Link &link = m_ops.link();
    const LinkKind kind = link.kind();
    if (!link.OpenLink()) {
        // An adapter that is not plugged in is named, with what is.
        const bool missing = kind == LinkKind::Serial && link.serial().deviceMissing();
        fail(missing ? openFailureMessage + QStringLiteral("\r\n") + link.lastError() : openFailureMessage,
             link.lastError());
        m_outcome.reasonShown = missing;
        m_outcome.ending = OperationOutcome::Ending::ConnectionFailed;
        return false;
    }
    if (kind != LinkKind::Udp && !link.CheckLink()) {
        m_outcome.ending = OperationOutcome::Ending::ConnectionFailed;
        m_outcome.reason = link.socket().errorString();
        if (m_outcome.reason.isEmpty())
            m_outcome.reason = QStringLiteral("The connection did not come about in time.");
        // The check has said why; the traffic panel stays as it was.
        end(false);
        return false;
    }
    return true;
}

SendResult::Status OperationFrame::send(const QByteArray &bytes)
{
    const SendResult sent = m_ops.link().SendOnLink(bytes);
    if (sent.status == SendResult::Status::Failed)
        return sent.status;
    if (sent.status == SendResult::Status::NotSent) {
        ++m_outcome.framesNotSent;
        // A connection the device closed or reset is gone for the rest of
        // the operation, which still runs to its end as the operator sees.
        const int state = m_ops.link().socket().state();
        if (m_ops.link().kind() == LinkKind::Tcp && (state == SocketState::PeerClosing || state == SocketState::Error))
            m_outcome.linkDropped = true;
    }
    StatusPanels &panels = m_ops.panels();
    panels.setText(2, QString());
    panels.setText(2, BytesToText(sent.shown));
    return sent.status;
}

bool OperationFrame::stopped() const
{
    return m_ops.transfer().transmitting() == 0;
}

OperationOutcome OperationFrame::finish()
{
    if (m_ended)
        return m_outcome;
    if (!stopped())
        m_outcome.bytesNotSent = m_ops.link().DrainLink();
    if (m_ops.m_linkDropped) {
        m_outcome.ending = OperationOutcome::Ending::Failed;
        m_outcome.reason = m_ops.m_dropReason;
    } else if (m_ops.m_stopRequested) {
        m_outcome.ending = OperationOutcome::Ending::Stopped;
    } else if (m_outcome.linkDropped) {
        m_outcome.reason = QStringLiteral("The device closed the connection.");
    }
    end(true);
    return m_outcome;
}

OperationOutcome OperationFrame::fail(const QString &message, const QString &reason)
{
    if (m_ended)
        return m_outcome;
    if (!message.isEmpty())
        m_ops.prompter().inform(message);
    m_outcome.ending = OperationOutcome::Ending::Failed;
    m_outcome.reason = reason;
    end(true);
    return m_outcome;
}

void OperationFrame::end(bool resetTraffic)
{
    m_ended = true;
    m_outcome.linkDropped = m_outcome.linkDropped || m_ops.m_linkDropped;
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
    m_ops.m_held = false;
    m_ops.menus().setLinkHeld(false);
}

} // namespace telvaro
