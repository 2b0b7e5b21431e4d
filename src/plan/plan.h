#pragma once
// The plan of an operation: every frame it sends, in order, with its planned
// start and its step, and when it ends. The operation itself makes it: it
// runs on the planned clock over a link that opens nothing and records each
// write, on a workspace of its own that holds the table, registers, link
// settings, mode and entry panel of the one planned for. So the plan is what
// the real operation would send, and planning changes nothing the operator
// sees. Every front end plans through PlanOperation.

#include "base/wait.h"
#include "run/operation.h"
#include "signload/signload.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

namespace telvaro {

class Prompter;
class Workspace;

// The operations that can be planned.
enum class PlannedOperation { QuickSend, Run, SignLoad, ControllerLoad, Upload };

struct PlanRequest {
    PlanRequest(PlannedOperation planned = PlannedOperation::Run) : operation(planned) {}

    PlannedOperation operation;
    // A sign load's type and address.
    SignChoice sign;
    // A controller load's answer to "Is this a serial interface controller?".
    bool serialInput = false;
    // A run ended that many seconds after its start, as "&Data Entry" would.
    std::optional<double> durationSeconds;
    // Status panel changes of the planned operation, where a front end
    // echoes them.
    std::function<void(int panel, const QString &text)> panelChanged;
};

struct PlannedFrame {
    double offset = 0; // seconds from the operation's start
    QString step;      // status panel 3 as the operation shows it then ("-3", "42")
    QString label;     // the step for the operator ("set-up 1 of 3", "message 042")
    QByteArray bytes;
};

// Takes each frame as it is due; false ends the plan there, as data entry
// would end the operation.
using PlannedFrameSink = std::function<bool(const PlannedFrame &frame)>;

struct PlanEnding {
    // The operation's own outcome, down to its messages (told to prompter).
    OperationOutcome outcome;
    double total = 0; // seconds until the operation ends
    // An upload's length is the controller's: its plan holds no frames,
    // only the longest it may take.
    bool atMost = false;
};

// Plans the operation of request for the state of ws. Frames come to frame
// one at a time, so a large table's plan is never held whole. Messages and
// questions go to prompter, answered there as the real operation's would be.
PlanEnding PlanOperation(const Workspace &ws, const PlanRequest &request, Prompter &prompter,
                         const PlannedFrameSink &frame);

// A step as the operator reads it: "set-up 1 of 3", "message 042",
// "configuration"; step is status panel 3's text, messages the table's size.
QString StepLabel(PlannedOperation operation, const QString &step, int messages);

// An end set for the operation about to start on ws, seconds from now on the
// clock its waits read (planned or real): data entry there. Nothing without
// a duration.
std::optional<OperationEnd> EndAfter(Workspace &ws, std::optional<double> durationSeconds);

} // namespace telvaro
