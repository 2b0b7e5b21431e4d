#pragma once
// A transcript of a link: every chunk sent and received as it happens, what
// happened to the link and how the operation ended, one line each, appended
// to a file. A line is a UTC time (ISO 8601, microseconds), a blank, the
// kind and a tab, then the details:
//   2026-12-07T10:15:02.125013Z TX 6<TAB><0x01>Z00<0x02>E$<0x04>
//   2026-12-07T10:15:02.126150Z RX 1<TAB><0x05>
//   2026-12-07T10:15:02.130007Z LINK<TAB>closed by the device: The device closed the connection.
//   2026-12-07T10:15:02.130112Z END<TAB>failed: Error Loading Sign: The device closed the connection.
//   2026-12-07T10:15:02.130200Z DROPPED<TAB>12 lines
// TX and RX carry the byte count; the bytes are in escape notation (32 to
// 125 as they are, every other byte <0xHH>), however many there are.
//
// Writing never holds up the protocol: the bytes are handed as they are, with
// their time, to a thread of the transcript's own, which formats and writes
// them. What waits for a slow file is bounded; beyond that lines are dropped,
// and one DROPPED line tells how many where writing resumes. The file only
// ever holds whole lines: a write that fails (a full disk) is taken back to
// the end of the last whole line. Whether every line reached the file is
// told by flush(), so that the program can say so and fail.

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <memory>

namespace telvaro {

class Link;

class Transcript : public QObject {
    Q_OBJECT
public:
    explicit Transcript(QObject *parent = nullptr);
    // Waits a bounded time for the last lines to reach the file.
    ~Transcript() override;

    // Opens path for appending; false with the reason in errorString().
    bool open(const QString &path);
    QString errorString() const { return m_error; }

    // Records the link's traffic and events from now on.
    void observe(const Link &link);

    void traffic(bool sent, const QByteArray &bytes);
    // kind: LINK, END or another word of the simulator's.
    void event(const QByteArray &kind, const QString &text);

    // Waits up to ms for every line so far to reach the file. True when the
    // file holds every line so far; otherwise problem() says what is missing.
    bool flush(int ms);
    QString problem() const;

    // The line for a happening at a time, with its newline.
    static QByteArray Line(const QDateTime &utc, qint64 microsecond, const QByteArray &kind, const QByteArray &details);

    // What may wait for the file, in bytes as they came: a line longer than
    // that still goes in whole when nothing else waits.
    static constexpr qsizetype QueueLimit = 8 << 20;
    static constexpr int FinalWaitMs = 2000;

    struct Writer;

private:
    void put(char kind, QByteArray word, QByteArray details);

    std::shared_ptr<Writer> m_writer;
    QString m_error;
};

} // namespace telvaro
