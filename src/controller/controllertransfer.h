#pragma once
// "&Load Controller" and "&Upload From Controller": the register table, the
// messages and the input configuration written to a sign controller, every
// serial frame acknowledged; and all of it read back.

#include "run/operation.h"
#include "table/registers.h"

namespace telvaro {

class EntryPanel;
class MessageTable;

// serialInterface: the operator's answer to "Is this a serial interface
// controller?".
OperationOutcome MnuLoadController_Click(Operations &operations, MessageTable &table, const RegisterTable &registers,
                                         EntryPanel &panel, bool serialInterface);

// The transfer of an upload; the caller puts what was collected in place
// of its table (only after a complete upload: a failed one loses nothing).
struct UploadTransfer {
    OperationOutcome outcome;
    // Everything received after the request, in escape notation.
    QByteArray buffer;
    // The same as the bytes came, for a comparison that must not take text
    // such as "<0x04>" for the byte it names.
    QByteArray received;
};
// The menu entry that started it is marked while it runs: an upload, or a
// verification reading the controller back.
UploadTransfer UploadFromController(Operations &operations, Item entry = Item::MnuUploadController);

} // namespace telvaro
