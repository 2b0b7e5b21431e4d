#pragma once
// The printable escape notation of message texts: "<0x02>", "<&H1B>", "<T>".
// Texts are byte strings, one character per byte (0 to 255).

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QLocale>
#include <optional>

namespace telvaro {

// Notation to send bytes. Empty optional when an escape's value lies outside
// 0 to 255.
std::optional<QByteArray> ParseEscapes(QByteArrayView text);

// Replaces every "<T>" with the local date and time given (short date, a
// blank, the time with seconds; the date alone at exactly midnight).
QByteArray ExpandTimeTokens(QByteArrayView text, const QDateTime &now);

// The date-and-time text that stands for "<T>", in the system's regional
// form, or in the given locale's.
QByteArray TimeTokenText(const QDateTime &now);
QByteArray TimeTokenText(const QDateTime &now, const QLocale &locale);
// A regular expression, over bytes read as Latin-1 characters, that matches
// every text TimeTokenText gives in the locale and nothing of another shape:
// digits where a number goes, the locale's names where a name goes.
QString TimeTokenPattern(const QLocale &locale);

// A code as its escape, "<0x" upper-case hex digits ">": two digits up to
// 255, more for larger codes.
QByteArray HexEscape(unsigned code);

// Received bytes to notation: 32..125 as they are, others as "<0xHH>".
QByteArray FormatReceived(QByteArrayView bytes);

// A message number's two-character display label, in notation.
QByteArray DisplayFileLabel(qint16 number);

} // namespace telvaro
