#pragma once
// SIGINT and SIGTERM as a Qt signal, so a long command can end the way the
// window's "&Data Entry" does instead of dying mid-frame.

#include <QObject>

class QSocketNotifier;

namespace telvaro::cli {

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

} // namespace telvaro::cli
