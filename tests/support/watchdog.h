#pragma once
// A test whose operation never ends fails on its own, well before the suite
// is killed: after the limit the process ends with a message naming the
// test, its row and the step the operation was at (status panels 2 and 3).

#include "base/statuspanels.h"

#include <QtTest>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <thread>

namespace telvaro::test {

class Watchdog {
public:
    explicit Watchdog(const StatusPanels &panels, int limitSeconds = 8)
        : m_test(QStringLiteral("%1(%2)").arg(QTest::currentTestFunction(), QTest::currentDataTag()).toStdString())
    {
        const int scale = qMax(1, qEnvironmentVariableIntValue("TELVARO_TIMEOUT_SCALE"));
        QObject::connect(&panels, &StatusPanels::changed, &m_context, [this, &panels] {
            const std::lock_guard lock(m_mutex);
            m_step =
                QStringLiteral("message %1, traffic \"%2\"").arg(panels.text(3), panels.text(2).left(40)).toStdString();
        });
        // Ended early by the stop request of the thread's destruction.
        m_thread = std::jthread([this, limit = std::chrono::seconds(limitSeconds * scale)](std::stop_token stop) {
            std::unique_lock lock(m_mutex);
            std::condition_variable_any().wait_for(lock, stop, limit, [] { return false; });
            if (!stop.stop_requested())
                qFatal("%s did not end within %lld s; it was at %s", m_test.c_str(), qint64(limit.count()),
                       m_step.c_str());
        });
    }

private:
    QObject m_context;
    std::string m_test;
    std::string m_step = "its start";
    std::mutex m_mutex;
    std::jthread m_thread;
};

} // namespace telvaro::test
