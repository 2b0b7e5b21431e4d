#pragma once
// SIGHUP, SIGINT and SIGTERM as a Qt signal, so a long-running program can end its
// work in order (a command like the window's "&Data Entry", the simulator by
// leaving its event loop) instead of dying mid-frame. A second one ends the
// program at once, with status 128 + its number.

#include <QObject>

class QSocketNotifier;

namespace telvaro {

class StopSignals : public QObject {
    Q_OBJECT
public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

Q_SIGNALS:
    // signalNumber: SIGHUP, SIGINT or SIGTERM.
    void stopRequested(int signalNumber);

private:
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace telvaro
