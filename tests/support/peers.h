#pragma once
// The simulator's TCP, UDP and pseudo-terminal devices in the test's own
// process, recording what they receive; they act on the test's event loop
// while the code under test waits. One that cannot start says why.

#include "devsim/transports.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QtDebug>
#include <functional>

namespace telvaro::test {

inline void StartPeer(devsim::Transport &device)
{
    if (const QString error = device.start(); !error.isEmpty())
        qWarning("peer: %s", qPrintable(error));
}

class TcpPeer : public devsim::TcpTransport {
public:
    TcpPeer() : TcpTransport(QHostAddress::LocalHost, 0)
    {
        m_clock.start();
        StartPeer(*this);
        connect(this, &Transport::connected, this, [this] {
            ++connections;
            if (onReceive)
                onReceive(*this, {});
        });
        connect(this, &Transport::chunkReceived, this, [this](const QByteArray &chunk) {
            received += chunk;
            receivedAt = m_clock.elapsed();
            if (onReceive)
                onReceive(*this, chunk);
        });
        connect(this, &Transport::disconnected, this, [this] {
            ++disconnections;
            disconnectedAt = m_clock.elapsed();
        });
    }

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
    UdpPeer() : UdpTransport(QHostAddress::LocalHost, 0)
    {
        StartPeer(*this);
        connect(this, &Transport::chunkReceived, this, [this](const QByteArray &datagram) {
            datagrams.append(datagram);
            if (onReceive)
                onReceive(*this, datagram);
        });
    }
    QList<QByteArray> datagrams;
    std::function<void(UdpPeer &, const QByteArray &)> onReceive;
};

class PtyPeer : public devsim::PtyTransport {
public:
    PtyPeer() : PtyTransport(QString())
    {
        StartPeer(*this);
        connect(this, &Transport::chunkReceived, this, [this](const QByteArray &chunk) {
            if (onReceive)
                onReceive(*this, chunk);
        });
    }
    std::function<void(PtyPeer &, const QByteArray &)> onReceive;
};

} // namespace telvaro::test
