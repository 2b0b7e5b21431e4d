#pragma once
// The wall clock that "<T>" reads, replaceable in tests.

#include <QDateTime>
#include <functional>

namespace telvaro {

QDateTime LocalNow();

// Tests pin the time; an empty function restores the system clock.
void SetLocalNowSource(std::function<QDateTime()> source);

} // namespace telvaro
