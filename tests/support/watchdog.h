#pragma once
// A test whose operation never ends fails on its own, well before the suite
// is killed: after the limit the process ends with a message naming the
// test, its row and the step the operation was at (status panels 2 and 3).

#include "base/statuspanels.h"

#include <QtTest>

#include <chrono>
#include <condition_variable>
#include <mutex>
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
        m_thread = std::thread([this, limit = std::chrono::seconds(limitSeconds * scale)] {
            std::unique_lock lock(m_mutex);
            if (!m_ended.wait_for(lock, limit, [this] { return m_done; }))
                qFatal("%s did not end within %lld s; it was at %s", m_test.c_str(), qint64(limit.count()),
                       m_step.c_str());
        });
    }
    ~Watchdog()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_ended.notify_one();
        m_thread.join();
    }
    Watchdog(const Watchdog &) = delete;
    Watchdog &operator=(const Watchdog &) = delete;

private:
    QObject m_context;
    std::string m_test;
    std::string m_step = "its start";
    std::mutex m_mutex;
    std::condition_variable m_ended;
    bool m_done = false;
    std::thread m_thread;
};

} // namespace telvaro::test
