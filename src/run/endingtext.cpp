#include "run/endingtext.h"

namespace telvaro {

QString EndingText(const OperationOutcome &outcome, const QString &stoppedBy)
{
    using Ending = OperationOutcome::Ending;
    QString text;
    switch (outcome.ending) {
    case Ending::Done: text = QStringLiteral("done"); break;
    case Ending::Stopped:
        text = stoppedBy.isEmpty() ? QStringLiteral("stopped") : QStringLiteral("stopped by ") + stoppedBy;
        break;
    case Ending::Refused: text = QStringLiteral("refused"); break;
    case Ending::ConnectionFailed: text = QStringLiteral("connection failed"); break;
    case Ending::Failed: text = QStringLiteral("failed"); break;
    }
    QStringList reasons = OutcomeDetails(outcome);
    if (outcome.ending == Ending::Refused)
        reasons << outcome.reason;
    reasons.removeAll(QString());
    if (!reasons.isEmpty())
        text += QStringLiteral(": ") + reasons.join(QStringLiteral(" "));
    return text;
}

bool EndedAsItShould(const OperationOutcome &outcome)
{
    using Ending = OperationOutcome::Ending;
    const bool ended = outcome.ending == Ending::Done || outcome.ending == Ending::Stopped;
    return ended && outcome.framesNotSent == 0 && outcome.bytesNotSent == 0 && !outcome.linkDropped;
}

QString EndLineText(const QString &ending, int status)
{
    return ending + QStringLiteral(" (exit status %1)").arg(status);
}

} // namespace telvaro
