#include "app/workspace.h"

#include "app/settings.h"
#include "codec/codepage.h"
#include "codec/escapes.h"
#include "codec/numbers.h"
#include "link/link.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace telvaro {

namespace {

QString normalisedInterval(const QString &text)
{
    const auto value = StrictValue(text);
    if (!value || !RoundToInt64(*value))
        return text;
    return FormatPicture(*value, u"000");
}

} // namespace

QString MessageNumberText(qint64 number)
{
    return FormatPicture(double(number), u"000");
}

qint64 LenientWhole(const QString &text)
{
    const double value = LenientValue(text);
    if (const auto whole = RoundToInt64(value))
        return *whole;
    if (std::isnan(value))
        return 0;
    return value < 0 ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
}

Workspace::Workspace(Prompter &prompter, QObject *parent) : QObject(parent), m_prompter(prompter)
{
    m_boxes = {{Box::MessageNumber, QStringLiteral("000")},
               {Box::Interval, QStringLiteral("200")},
               {Box::RepeatCaption, QStringLiteral("0")}};
    m_status = {{1, QString()}, {2, QStringLiteral("Traffic")}, {3, QString()}};
    m_link = new Link(*this);
    for (const MenuItemDef &def : MainMenuDefinition())
        m_items.insert(def.name, ItemState{});
    // "Clear Range" exists but can never be chosen.
    m_items[QStringLiteral("MnuEditClearRange")].enabled = false;
    m_items.insert(QStringLiteral("CmdQuickSend"), ItemState{});
}

void Workspace::setBox(Box which, const QString &text)
{
    const QString value = which == Box::Interval ? normalisedInterval(text) : text;
    auto it = m_boxes.find(which);
    if (it != m_boxes.end() && *it == value)
        return;
    m_boxes.insert(which, value);
    Q_EMIT boxChanged(which);
}

void Workspace::setItem(const QString &name, ItemState state)
{
    auto it = m_items.find(name);
    if (it != m_items.end() && *it == state)
        return;
    m_items.insert(name, state);
    Q_EMIT itemChanged(name);
}

void Workspace::setItemEnabled(const QString &name, bool enabled)
{
    ItemState s = item(name);
    s.enabled = enabled;
    setItem(name, s);
}

void Workspace::setItemVisible(const QString &name, bool visible)
{
    ItemState s = item(name);
    s.visible = visible;
    setItem(name, s);
}

void Workspace::setItemChecked(const QString &name, bool checked)
{
    ItemState s = item(name);
    s.checked = checked;
    setItem(name, s);
}

void Workspace::setCaption(const QString &caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    Q_EMIT captionChanged();
}

void Workspace::setStatusPanel(int panel, const QString &text)
{
    if (m_status.value(panel) == text && m_status.contains(panel))
        return;
    m_status.insert(panel, text);
    Q_EMIT statusPanelChanged(panel);
}

void Workspace::ResetRegisters()
{
    for (RegisterEntry &r : Registers)
        r = RegisterEntry{};
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

    const auto port = RoundToInt16(LenientValue(settings.read(QStringLiteral("AppPort"), QStringLiteral("1"))));
    if (!port)
        return fail();
    PortNumber = *port;
    IpAddress = settings.read(QStringLiteral("AppIP"), DefaultIpAddress());
    IpPort = settings.read(QStringLiteral("AppIPPort"), QStringLiteral("3001"));
    BaudText = settings.read(QStringLiteral("AppSerialBaud"), QStringLiteral("9600"));

    Mode = OperatingMode::Test;
    setItemVisible(QStringLiteral("MnuModeRun"), true);
    for (const char *hidden :
         {"MnuLoadSign", "MnuLoadController", "MnuUploadController", "MnuDisplayLoaded", "MnuRegister"})
        setItemVisible(QString::fromLatin1(hidden), false);
    AdpSerialAddress = QByteArrayLiteral("00");
    AdpLoadMode = false;
    UploadState = 0;
    MnuModeData_Click();
    setCaption(QStringLiteral("Telvaro - Test Mode"));
    ResetRegisters();
    m_table.Clear();
    ShutdownConfirmed = false;
    m_table.RefreshGrid();
    outcome.completed = true;
    return outcome;
}

bool Workspace::ConfirmShutdown()
{
    if (ShutdownConfirmed)
        return true;
    const auto answer =
        m_prompter.message(QStringLiteral("Are You Sure You want to Shutdown Telvaro?"),
                           QStringLiteral("Close Telvaro"), Prompter::Buttons::YesNo, Prompter::Icon::Question);
    if (answer != Prompter::Answer::Yes)
        return false;
    ShutdownConfirmed = true;
    return true;
}

void Workspace::SaveSettings(SettingsStore &settings, bool minimized, const WindowGeometry &geometry)
{
    const QString portText = QString::number(PortNumber);
    if (!minimized) {
        settings.write(QStringLiteral("MainLeft"), QString::number(float(geometry.left)));
        settings.write(QStringLiteral("MainTop"), QString::number(float(geometry.top)));
        settings.write(QStringLiteral("MainWidth"), QString::number(float(geometry.width)));
        settings.write(QStringLiteral("MainHeight"), QString::number(float(geometry.height)));
    }
    settings.write(QStringLiteral("AppPort"), portText);
    settings.write(QStringLiteral("AppIP"), IpAddress);
    settings.write(QStringLiteral("AppIPPort"), IpPort);
    settings.write(QStringLiteral("AppSerialBaud"), BaudText);
    if (!settings.flush())
        m_prompter.inform(QStringLiteral("!?ERROR?!"));
}

void Workspace::MnuModeData_Click()
{
    m_progress.Done();
    setItem(QStringLiteral("MnuModeData"), {item(QStringLiteral("MnuModeData")).visible, true, true});
    setItemChecked(QStringLiteral("MnuModeRun"), false);
    setItemEnabled(QStringLiteral("MnuModeRun"), true);
    setItemEnabled(QStringLiteral("MnuDisplayLoaded"), true);
    for (const char *name : {"MnuLoadSign", "MnuLoadController"}) {
        setItemEnabled(QString::fromLatin1(name), true);
        setItemChecked(QString::fromLatin1(name), false);
    }
    setItemEnabled(QStringLiteral("MnuCommunication"), true);
    setItemEnabled(QStringLiteral("CmdQuickSend"), true);
    Transmitting = 0;
    m_link->CloseLink();
    setStatusPanel(2, QStringLiteral("No Traffic"));
    setStatusPanel(3, QStringLiteral("Off"));
}

QString Workspace::HeaderFor(qint64 number) const
{
    const qint16 label = static_cast<qint16>(std::clamp<qint64>(number, 0, 32767));
    return BytesToText(QByteArrayLiteral("<0x01>Z") + AdpSerialAddress + QByteArrayLiteral("A<0x0F>DT") +
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
