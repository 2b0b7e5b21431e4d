#include "app/workspace.h"

#include "base/settingsstore.h"
#include "codec/codepage.h"
#include "codec/escapes.h"
#include "codec/numbers.h"
#include "run/quicksend.h"
#include "run/run.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace telvaro {

Workspace::Workspace(Prompter &prompter, QObject *parent)
    : QObject(parent), m_prompter(prompter), m_link(m_transfer, prompter),
      m_operations(m_menus, m_transfer, m_status, m_progress, m_link, prompter),
      m_transcript(m_link, m_operations, prompter, m_menus)
{
    m_link.setSettings(m_linkSettings.value());
    connect(&m_linkSettings, &LinkSettingsState::changed, this, [this] { m_link.setSettings(m_linkSettings.value()); });
    connect(&m_link, &Link::statusText, this, [this](const QString &text) { m_status.setText(1, text); });
    connect(&m_link, &Link::received, this, [this](const QString &display, bool complete) {
        m_entry.setBox(Box::RecData, AppendBounded(m_entry.box(Box::RecData), display));
        if (!complete)
            m_prompter.inform(QStringLiteral("Error due to Invalid Reception"));
    });
}

void Workspace::setCaption(const QString &caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    Q_EMIT captionChanged();
}

Workspace::LoadOutcome Workspace::Form_Load(const SettingsStore &settings)
{
    LoadOutcome outcome;
    auto fail = [this, &outcome] {
        m_prompter.inform(QStringLiteral("error!"));
        return outcome;
    };

    const WindowGeometry defaults;
    const struct {
        const char *key;
        double fallback;
        std::optional<double> LoadOutcome::*target;
    } geometryKeys[] = {{"MainLeft", defaults.left, &LoadOutcome::left},
                        {"MainTop", defaults.top, &LoadOutcome::top},
                        {"MainWidth", defaults.width, &LoadOutcome::width},
                        {"MainHeight", defaults.height, &LoadOutcome::height}};
    for (const auto &g : geometryKeys) {
        const auto value = StrictValue(settings.read(QString::fromLatin1(g.key), QString::number(g.fallback)));
        if (!value || !std::isfinite(float(*value)))
            return fail();
        outcome.*g.target = float(*value);
    }

    const StoredLinkSettings stored = ReadLinkSettings(settings);
    if (!stored.settings)
        return fail();
    m_linkSettings.set(*stored.settings);

    m_mode.setMode(OperatingMode::Test);
    showModeItems(OperatingMode::Test);
    m_mode.setAdpSerialAddress(QByteArrayLiteral("00"));
    m_mode.setAdpLoadMode(false);
    m_transfer.setUploadState(0);
    MnuModeData_Click();
    setCaption(QStringLiteral("Telvaro - Test Mode"));
    m_registers.reset();
    m_table.Clear();
    m_shutdownConfirmed = false;
    m_table.RefreshGrid();
    outcome.completed = true;
    return outcome;
}

bool Workspace::ConfirmShutdown()
{
    if (m_shutdownConfirmed)
        return true;
    const auto answer =
        m_prompter.message(QStringLiteral("Are You Sure You want to Shutdown Telvaro?"),
                           QStringLiteral("Close Telvaro"), Prompter::Buttons::YesNo, Prompter::Icon::Question);
    if (answer != Prompter::Answer::Yes)
        return false;
    m_shutdownConfirmed = true;
    return true;
}

void Workspace::SaveSettings(SettingsStore &settings, bool minimized, const WindowGeometry &geometry)
{
    if (!minimized) {
        settings.write(QStringLiteral("MainLeft"), QString::number(float(geometry.left)));
        settings.write(QStringLiteral("MainTop"), QString::number(float(geometry.top)));
        settings.write(QStringLiteral("MainWidth"), QString::number(float(geometry.width)));
        settings.write(QStringLiteral("MainHeight"), QString::number(float(geometry.height)));
    }
    WriteLinkSettings(settings, m_linkSettings.value());
    if (!settings.flush())
        m_prompter.inform(QStringLiteral("!?ERROR?!"));
}

void Workspace::noticeCodePage(const QString &text)
{
    if (const QString warning = CodePageWarning(text); !warning.isEmpty() && !m_codePageNoticed.contains(text)) {
        m_codePageNoticed.insert(text);
        m_prompter.inform(warning);
    }
}

OperationOutcome Workspace::CmdQuickSend_Click()
{
    // Refused while another operation holds the link: nothing is sent yet.
    if (!m_operations.holdsLink())
        noticeCodePage(box(Box::Entry));
    return telvaro::CmdQuickSend_Click(m_operations, m_entry);
}

OperationOutcome Workspace::MnuModeRun_Click()
{
    return telvaro::MnuModeRun_Click(m_operations, m_table, m_entry);
}

QString Workspace::HeaderFor(qint64 number) const
{
    const qint16 label = static_cast<qint16>(std::clamp<qint64>(number, 0, 32767));
    return BytesToText(QByteArrayLiteral("<0x01>Z") + m_mode.adpSerialAddress() + QByteArrayLiteral("A<0x0F>DT") +
                       DisplayFileLabel(label));
}

void Workspace::MSFGMessages_Click(int gridRow)
{
    if (gridRow < 1 || gridRow > m_table.rowCount())
        return;
    const int position = gridRow - 1;
    setBox(Box::MessageNumber, MessageNumberText(position));
    setBox(Box::HeaderLabel, HeaderFor(position));
    setBox(Box::Interval, FormatPicture(m_table.entry(position).Interval, u"000000"));
}

void Workspace::MSFGMessages_DblClick(int gridRow)
{
    if (gridRow < 1 || gridRow > m_table.rowCount())
        return;
    const int position = gridRow - 1;
    const MessageEntry &e = m_table.entry(position);
    setBox(Box::MessageNumber, MessageNumberText(position));
    setBox(Box::Entry, BytesToText(e.Text));
    setBox(Box::Interval, FormatPicture(e.Interval, u"000000"));
    setBox(Box::Comment, m_table.CellText(gridRow, MessageTable::ColComment));
    Q_EMIT gridSelectionRequested(gridRow, 0, MessageTable::ColumnCount - 1);
}

void Workspace::MSFGMessages_MouseDown(int gridRow)
{
    if (gridRow >= 1)
        setBox(Box::MessageNumber, MessageNumberText(gridRow - 1));
}

void Workspace::MSFGMessages_SelChange(int gridRow)
{
    if (gridRow < 1)
        return;
    setBox(Box::MessageNumber, MessageNumberText(gridRow - 1));
    setBox(Box::HeaderLabel, HeaderFor(gridRow - 1));
}

void Workspace::MSFGMessages_KeyDown(int keyCode)
{
    if (keyCode != DeleteKeyCode)
        return;
    // The number box, not the grid's current row, names the entry to delete.
    const qint64 n = LenientWhole(box(Box::MessageNumber));
    if (!m_table.isEmpty() && n <= m_table.UpperIndex())
        m_table.MoveContentsUp(static_cast<int>(qMax<qint64>(0, n)));
    m_table.RemoveLastEntry();
    m_table.RefreshGrid();
}

} // namespace telvaro
