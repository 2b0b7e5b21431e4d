#pragma once
// Everything the command line writes. Standard output is checked on every
// write: a full disk or a closed pipe ends the command with a message and
// exit status 1 instead of a silently cut result. Text meant for a terminal
// is UTF-8 with every control character in escape notation, so no file or
// device can drive the terminal.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace telvaro::cli {

// Puts /dev/null where standard input, output or error is closed, before
// anything opens a file that would take its number and receive the output.
// A closed standard output is remembered: writing to it is a failure.
void HoldClosedStandardStreams();
// Standard input was closed when the program started.
bool InputClosed();

// Writes all of bytes to standard output. On the first failure it says why
// on stderr and returns false; every later write is dropped.
bool WriteOut(QByteArrayView bytes);
// A write to standard output has failed.
bool OutputFailed();

// UTF-8 text with every control character (0 to 31, 127, 128 to 159) as
// its escape, "<0x1B>", and nothing else changed.
QByteArray TerminalText(QStringView text);
// TerminalText of code-page bytes.
QByteArray TerminalBytes(QByteArrayView bytes);

// A line on stderr, made safe for the terminal.
void PrintError(const QString &line);
// Every line PrintError writes is also given to observer (one at a time;
// nullptr for none), so that a machine-readable outcome can carry it.
void ObserveErrorLines(void (*observer)(const QString &line));
// A message the window would show in a message box: one line on stderr for
// each of its lines.
void PrintMessage(const QString &text);

// Standard error is a terminal, so that a line can be redrawn in place.
bool ErrorIsTerminal();
// Raw bytes to stderr, for the progress line.
void WriteError(QByteArrayView bytes);

// While an operation talks to a device, what it writes goes out through a
// writer of its own, so that a reader that is slow or never reads cannot
// hold up the protocol: a bounded amount waits for the reader, beyond that
// lines are dropped and counted. Ending it gives the reader a bounded time
// to take the rest, then says how many lines were dropped.
class LiveOutput {
public:
    LiveOutput();
    ~LiveOutput();
    LiveOutput(const LiveOutput &) = delete;
    LiveOutput &operator=(const LiveOutput &) = delete;

    // What may wait for a reader on each stream, and how long the end waits.
    static constexpr qsizetype QueueLimit = 1 << 20;
    static constexpr int FinalWaitMs = 2000;
};

} // namespace telvaro::cli
