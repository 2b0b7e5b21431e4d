#pragma once
// The window's transcript: while the operator has a file chosen, every
// operation's link traffic and ending go there exactly as the command
// line's --transcript writes them.

#include <QObject>
#include <QString>
#include <memory>
#include <optional>

namespace telvaro {

class Link;
class MenuState;
class Operations;
class Prompter;
class Transcript;
struct OperationOutcome;

class TranscriptRecorder : public QObject {
    Q_OBJECT
public:
    TranscriptRecorder(Link &link, Operations &operations, Prompter &prompter, MenuState &menus,
                       QObject *parent = nullptr);
    // The last END line goes in, and the file is given its last lines.
    ~TranscriptRecorder() override;

    // Appends to path from now on; false, told as the command line tells
    // it, when the file cannot be opened.
    bool start(const QString &path);
    // No transcript from now on; whether the file holds every line is told.
    void stop();
    bool recording() const { return m_transcript != nullptr; }
    QString path() const { return m_path; }

    // A read-back's result, recorded as the command line records it; a
    // controller that differs ends the read-back's END line with status 1.
    void verified(const QString &lastLine, bool same);

    // Status panel 1's tool tip names the file.
    QString toolTip() const;

Q_SIGNALS:
    void recordingChanged();

private:
    void ended(const OperationOutcome &outcome);
    // The END line of the operation before, once nothing more of it can come.
    void writeEnding();
    // Tells, once, that lines did not reach the file.
    void checkWhole(int waitMs);

    Link &m_link;
    Prompter &m_prompter;
    MenuState &m_menus;
    std::unique_ptr<Transcript> m_transcript;
    QString m_path;
    std::optional<QString> m_ending;
    int m_endStatus = 0;
    bool m_toldIncomplete = false;
};

} // namespace telvaro
