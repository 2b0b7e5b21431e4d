#pragma once
// SIGINT and SIGTERM as a Qt signal, so a long-running program can end its
// work in order (a command like the window's "&Data Entry", the simulator by
// leaving its event loop) instead of dying mid-frame.

#include <QObject>

class QSocketNotifier;

namespace telvaro {

class StopSignals : public QObject {
    Q_OBJECT
public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

Q_SIGNALS:
    void stopRequested();

private:
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace telvaro
