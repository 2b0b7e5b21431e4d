#pragma once
// "&Load Sign": the whole table written into an ADP sign's flash, after
// three set-up frames, each message behind its generated header, paced by
// fixed waits.

#include "run/operation.h"
#include "signload/adp.h"

#include <optional>

namespace telvaro {

class MessageTable;

// What the sign type dialog gave.
struct SignChoice {
    SignType type = SignType::Vyrena;
    QByteArray address = QByteArrayLiteral("00");
};

// What a sign is left with once its memory was erased: stored of messages.
QString SignMemoryText(int stored, int messages);

// Without a choice (the dialog was cancelled) it returns to data entry.
OperationOutcome MnuLoadSign_Click(Operations &operations, MessageTable &table,
                                   const std::optional<SignChoice> &choice);

} // namespace telvaro
