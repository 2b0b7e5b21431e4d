#pragma once
// Operator messages that more than one command shows.

#include <QString>

namespace telvaro::texts {

inline QString IntervalOutOfRange()
{
    return QStringLiteral("Timing Interval Out of Range!");
}
inline QString EscapeOutOfRange()
{
    return QStringLiteral("Escape Value Out of Range! Escapes hold 0 to 255.");
}
inline QString TableFull()
{
    return QStringLiteral("The message table is full: it holds at most 32766 messages.");
}

} // namespace telvaro::texts
