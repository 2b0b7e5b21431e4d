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

// A started device that hands each chunk to its own note(), then to onReceive.
template <typename Self, typename Device> class Peer : public Device {
public:
    template <typename... Args> explicit Peer(Args... args) : Device(args...)
    {
        if (const QString error = this->start(); !error.isEmpty())
            qWarning("peer: %s", qPrintable(error));
        QObject::connect(this, &devsim::Transport::chunkReceived, this, [this](const QByteArray &chunk) {
            static_cast<Self *>(this)->note(chunk);
            if (onReceive)
                onReceive(static_cast<Self &>(*this), chunk);
        });
    }
    void note(const QByteArray &) {}
    std::function<void(Self &, const QByteArray &)> onReceive;
};

class TcpPeer : public Peer<TcpPeer, devsim::TcpTransport> {
public:
    TcpPeer() : Peer(QHostAddress::LocalHost, 0)
    {
        m_clock.start();
        // onReceive hears of each accepted connection with an empty chunk.
        connect(this, &Transport::connected, this, [this] {
            ++connections;
            if (onReceive)
                onReceive(*this, {});
        });
        connect(this, &Transport::disconnected, this, [this] {
            ++disconnections;
            disconnectedAt = m_clock.elapsed();
        });
    }
    void note(const QByteArray &chunk)
    {
        received += chunk;
        receivedAt = m_clock.elapsed();
    }

    QByteArray received;
    int connections = 0;
    int disconnections = 0;
    // Milliseconds since construction of the last receipt and disconnect.
    qint64 receivedAt = -1;
    qint64 disconnectedAt = -1;

private:
    QElapsedTimer m_clock;
};

class UdpPeer : public Peer<UdpPeer, devsim::UdpTransport> {
public:
    UdpPeer() : Peer(QHostAddress::LocalHost, 0) {}
    void note(const QByteArray &datagram) { datagrams.append(datagram); }
    QList<QByteArray> datagrams;
};

class PtyPeer : public Peer<PtyPeer, devsim::PtyTransport> {
public:
    PtyPeer() : Peer(QString()) {}
};

} // namespace telvaro::test
