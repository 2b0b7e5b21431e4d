#pragma once
// Writes to a file descriptor from a thread of its own, so that a reader
// that is slow or never reads cannot hold up the caller: a bounded amount
// waits for the reader, beyond that lines are dropped and counted.

#include <QByteArray>
#include <QByteArrayView>
#include <memory>

namespace telvaro {

// Writes all of bytes to fd; false with errno set when they did not all go out.
bool WriteAll(int fd, QByteArrayView bytes);

class BoundedWriter {
public:
    // closeAtEnd: the descriptor is closed once the last byte went out.
    BoundedWriter(int fd, qsizetype limit, bool closeAtEnd = false);
    // What is queued still goes out, unless the reader never reads: the
    // thread is left to it and no one waits for it.
    ~BoundedWriter();
    BoundedWriter(const BoundedWriter &) = delete;
    BoundedWriter &operator=(const BoundedWriter &) = delete;

    // Queues bytes, or drops them when more than the limit waits already,
    // counting them (one line at least) unless told not to. False when
    // dropped.
    bool put(QByteArrayView bytes, bool countDropped = true);
    // True when everything queued went out within ms.
    bool drain(int ms);
    // Lines dropped since the last call.
    qint64 takeDropped();
    // The errno of the first write that failed, or 0.
    int failure() const;

private:
    struct State;
    std::shared_ptr<State> m_state;
};

} // namespace telvaro
