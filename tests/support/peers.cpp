#include "peers.h"

#include <QtDebug>

namespace telvaro::test {

namespace {
// A peer that cannot start says why; the test then fails on what it misses.
void Start(devsim::Transport &device)
{
    if (const QString error = device.start(); !error.isEmpty())
        qWarning("peer: %s", qPrintable(error));
}
} // namespace

TcpPeer::TcpPeer() : TcpTransport(QHostAddress::LocalHost, 0)
{
    m_clock.start();
    Start(*this);
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

UdpPeer::UdpPeer() : UdpTransport(QHostAddress::LocalHost, 0)
{
    Start(*this);
    connect(this, &Transport::chunkReceived, this, [this](const QByteArray &datagram) {
        datagrams.append(datagram);
        if (onReceive)
            onReceive(*this, datagram);
    });
}

PtyPeer::PtyPeer() : PtyTransport(QString())
{
    Start(*this);
    connect(this, &Transport::chunkReceived, this, [this](const QByteArray &chunk) {
        if (onReceive)
            onReceive(*this, chunk);
    });
}

} // namespace telvaro::test
