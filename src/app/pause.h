#pragma once
// The program-wide timed wait. It runs a nested event loop until a monotonic
// deadline, so the window keeps reacting while an operation waits.

#include <QtGlobal>

namespace telvaro {

// Waits Interval milliseconds while processing events. Returns 1 when it
// waited (or the interval was 0 or less: then it returns at once without
// processing anything) and 0 when the interval was above ten minutes, which
// it refuses without waiting.
qint16 Pause(qint32 intervalMs);

// Tests run protocol waits faster: a factor of 100 makes a 10 s wait take
// 100 ms. The program itself never changes it.
void SetPauseTimeScale(double factor);
double PauseTimeScale();

} // namespace telvaro
