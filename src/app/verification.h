#pragma once
// A controller read back and compared with the table and registers on the
// screen, as the window offers it.

#include "controller/controllerverify.h"
#include "run/operation.h"

namespace telvaro {

struct ControllerVerification {
    OperationOutcome outcome; // the read-back's; what did not end done was told
    ReadBackComparison result;
    bool compared = false; // a read-back came and was compared
    bool same() const { return compared && result.same(); }
};

// The verify window's texts.
QString VerifyWindowTitle();
QString ControllerHoldsTheTableText();
QString VerifyNowQuestion();

} // namespace telvaro
