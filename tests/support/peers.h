#pragma once
// In-process devices for end-to-end tests: the simulator's TCP, UDP and
// pseudo-terminal devices, keeping a record of what they receive for the
// test to check. They run on the test's own event loop, so they act while
// the code under test waits.

#include "devsim/transports.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <functional>

namespace telvaro::test {

class TcpPeer : public devsim::TcpTransport {
public:
    TcpPeer();

    QByteArray received;
    int connections = 0;
    int disconnections = 0;
    // Milliseconds since construction of the last receipt and disconnect.
    qint64 receivedAt = -1;
    qint64 disconnectedAt = -1;
    // Called after each chunk (and after each accepted connection with an
    // empty chunk).
    std::function<void(TcpPeer &, const QByteArray &)> onReceive;

private:
    QElapsedTimer m_clock;
};

class UdpPeer : public devsim::UdpTransport {
public:
    UdpPeer();
    QList<QByteArray> datagrams;
    std::function<void(UdpPeer &, const QByteArray &)> onReceive;
};

class PtyPeer : public devsim::PtyTransport {
public:
    PtyPeer();
    std::function<void(PtyPeer &, const QByteArray &)> onReceive;
};

} // namespace telvaro::test
