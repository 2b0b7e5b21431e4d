#include "app/transcriptrecorder.h"

#include "base/items.h"
#include "base/prompter.h"
#include "link/transcript.h"
#include "run/endingtext.h"
#include "run/operation.h"

#include <QTimer>

namespace telvaro {

TranscriptRecorder::TranscriptRecorder(Link &link, Operations &operations, Prompter &prompter, MenuState &menus,
                                       QObject *parent)
    : QObject(parent), m_link(link), m_prompter(prompter), m_menus(menus)
{
    connect(&operations, &Operations::operationStarted, this, &TranscriptRecorder::writeEnding);
    connect(&operations, &Operations::operationEnded, this, &TranscriptRecorder::ended);
}

TranscriptRecorder::~TranscriptRecorder()
{
    writeEnding();
}

bool TranscriptRecorder::start(const QString &path)
{
    stop();
    auto transcript = std::make_unique<Transcript>();
    if (!transcript->open(path)) {
        m_prompter.message(QStringLiteral("Cannot open the transcript %1: %2").arg(path, transcript->errorString()),
                           Prompter::applicationTitle(), Prompter::Buttons::Ok, Prompter::Icon::Critical);
        return false;
    }
    transcript->observe(m_link);
    m_transcript = std::move(transcript);
    m_path = path;
    m_toldIncomplete = false;
    m_menus.setChecked(Item::MnuComTranscript, true);
    Q_EMIT recordingChanged();
    return true;
}

void TranscriptRecorder::stop()
{
    if (!m_transcript)
        return;
    writeEnding();
    checkWhole(Transcript::FinalWaitMs);
    m_transcript.reset();
    m_path.clear();
    m_menus.setChecked(Item::MnuComTranscript, false);
    Q_EMIT recordingChanged();
}

void TranscriptRecorder::verified(const QString &lastLine, bool same)
{
    if (!m_transcript)
        return;
    m_transcript->event("VERIFY", lastLine);
    if (m_ending && !same)
        m_endStatus = 1;
}

QString TranscriptRecorder::toolTip() const
{
    return m_transcript ? QStringLiteral("Recording a transcript to %1").arg(m_path) : QString();
}

void TranscriptRecorder::ended(const OperationOutcome &outcome)
{
    if (!m_transcript)
        return;
    writeEnding();
    m_ending = EndingText(outcome);
    m_endStatus = EndedAsItShould(outcome) ? 0 : 1;
    // What the command that ran it records after it (a read-back's result)
    // comes before; the next operation's start writes it sooner.
    QTimer::singleShot(0, this, &TranscriptRecorder::writeEnding);
}

void TranscriptRecorder::writeEnding()
{
    const auto ending = std::exchange(m_ending, std::nullopt);
    if (!m_transcript || !ending)
        return;
    m_transcript->event("END", EndLineText(*ending, m_endStatus));
    checkWhole(Transcript::FinalWaitMs);
}

void TranscriptRecorder::checkWhole(int waitMs)
{
    if (m_toldIncomplete || m_transcript->flush(waitMs))
        return;
    m_toldIncomplete = true;
    m_prompter.message(QStringLiteral("The transcript %1 is incomplete: %2").arg(m_path, m_transcript->problem()),
                       Prompter::applicationTitle(), Prompter::Buttons::Ok, Prompter::Icon::Critical);
}

} // namespace telvaro
