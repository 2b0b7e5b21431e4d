#pragma once
// How an operation ended, as a transcript's END line tells it, for the
// command line and the window alike.

#include "run/operation.h"

namespace telvaro {

// "done", "stopped", "failed: ...", with the outcome's reasons; stoppedBy
// names what stopped it ("SIGINT") where that was not the operator.
QString EndingText(const OperationOutcome &outcome, const QString &stoppedBy = {});

// Ended or stopped with every frame out and the link kept: the command
// line's exit status 0.
bool EndedAsItShould(const OperationOutcome &outcome);

// The END line's text: the ending and the exit status it gives.
QString EndLineText(const QString &ending, int status);

} // namespace telvaro
