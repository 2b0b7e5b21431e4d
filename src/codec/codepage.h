#pragma once
// Where bytes meet Qt text: the single-byte code page windows-1252, with its
// five unassigned bytes mapped to the C1 controls of the same number so that
// every byte round-trips.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace telvaro {

QString BytesToText(QByteArrayView bytes);

// A character outside the code page becomes "?" (0x3F), the substitute that
// single-byte Windows conversions also use; the operator sees it in the box.
QByteArray TextToBytes(QStringView text);

// True when every character of the text has a byte in the code page.
bool IsRepresentable(QStringView text);

// The characters of the text that have no byte in the code page, each once,
// in the order they first come.
QString UnrepresentableCharacters(QStringView text);
// What the operator is told of a text with such characters: which they are
// and that each becomes "?". Empty for a text that converts whole.
QString CodePageWarning(QStringView text);

} // namespace telvaro
