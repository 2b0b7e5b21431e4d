#pragma once
// The workspace of the transfer suites: a temporary home, the scripted
// prompter, data entry state, a link to a device in this test and a table
// filled from texts; a watchdog for operations that never end.

#include "app/workspace.h"
#include "scriptedprompter.h"
#include "temphome.h"
#include "watchdog.h"

#include <QElapsedTimer>

namespace telvaro::test {

// How long an operation outlives `Transmitting` falling to 0: a wait that
// ignores the stop or the device's going shows here.
struct IdleClock {
    QElapsedTimer clock;
    qint64 idleAt = -1;
    explicit IdleClock(Workspace &ws)
    {
        clock.start();
        QObject::connect(&ws.transfer(), &TransferState::transmittingChanged, &ws, [this](int value) {
            if (value == 0)
                idleAt = clock.elapsed();
        });
    }
    qint64 sinceIdle() const { return clock.elapsed() - idleAt; }
};

struct LinkedWorkspace {
    TempHome home;
    ScriptedPrompter prompter;
    Workspace ws{prompter};
    Watchdog watchdog{ws.status()};

    LinkedWorkspace() { ws.MnuModeData_Click(); }

    // Port 0 TCP or below 0 UDP to 127.0.0.1 at ipPort; 1 and up the serial
    // port on device.
    void linkTo(qint16 port, quint16 ipPort, const QString &device = {})
    {
        ws.linkSettings().set({port, QStringLiteral("127.0.0.1"), QString::number(ipPort), "9600", device});
    }
    // Back in data entry: nothing holds the link, it is closed, and every
    // command that starts a transfer can be chosen again.
    bool settled()
    {
        const MenuState &m = ws.menus();
        for (int i = 0; i < ItemCount; ++i)
            if (StartsOperation(Item(i)) && !m.item(Item(i)).enabled)
                return false;
        return m.item(Item::MnuModeData).checked && !m.item(Item::MnuModeRun).checked && !ws.operations().holdsLink() &&
               !ws.link().serial().isOpen() && ws.link().socket().state() == 0 && m.item(Item::MnuMode).enabled &&
               m.item(Item::MnuCommunication).enabled && ws.status().text(3) == QLatin1String("Off");
    }
    void fill(const QList<QByteArray> &texts, qint32 interval = 100)
    {
        for (const QByteArray &text : texts) {
            ws.table().AppendEntry();
            ws.table().SetContents(ws.table().UpperIndex(), interval, text, {}, {});
        }
    }
};

} // namespace telvaro::test
