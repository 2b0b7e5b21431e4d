#pragma once
// The message files as bytes: the program's own format (TVD), the sibling
// program Quendra's format (QND) and the register companion file (TV1).
// Every character is one byte; lines end with CR LF.

#include "table/messagetable.h"
#include "table/registers.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <optional>

namespace telvaro {

enum class MessageFormat { Tvd, Qnd, Other };

// Chosen by the last three characters of the name, in any case.
MessageFormat FormatOfName(const QString &name);
// The name with its last three characters replaced by "TV1"; empty for a
// name too short to have them.
QString CompanionName(const QString &name);

// A QND file holds messages 0 to 200, and always this many lines.
constexpr int QndEntries = 201;
constexpr int QndLines = 2 * QndEntries;
// The TVD and QND readers take intervals in these ranges.
constexpr qint32 QndIntervalMin = -32768;
constexpr qint32 QndIntervalMax = 32767;

struct MessageFileRead {
    // What was read; after an error, the entries read before it.
    QList<MessageEntry> entries;
    // Why the data could not be read to its end, with the line.
    std::optional<QString> error;
};

// Numbers stay as each line gives them; SendData stays empty.
MessageFileRead ReadTvd(QByteArrayView bytes);
// Empty texts are skipped, a text's number says where it goes, entries get
// their positions as numbers and SendData from their texts.
MessageFileRead ReadQnd(QByteArrayView bytes);

QByteArray WriteTvd(const QList<MessageEntry> &entries);
// Entries beyond the first 201 are left out.
QByteArray WriteQnd(const QList<MessageEntry> &entries);

// The companion file: format number, then registers 1 to 31.
constexpr qint16 RegisterFileFormat = 1;

struct RegisterFileRead {
    enum class Result { Loaded, OtherFormat, Malformed } result = Result::Malformed;
    RegisterTable registers; // complete only when Loaded
    QString error;           // why it was not, for OtherFormat too
};
RegisterFileRead ReadTv1(QByteArrayView bytes);
QByteArray WriteTv1(const RegisterTable &registers, qint16 format);

// A quoted field cannot hold a double quote. A message text writes each one
// as the escape "<0x22>", which sends the same byte; a quote inside an escape
// takes the whole escape to its "<0xHH>" form. The bytes the text sends stay
// exactly the same.
QByteArray FileSafeText(QByteArrayView text);
// A comment is never sent: its quotes become "<0x22>" and read back so.
QByteArray FileSafeComment(QByteArrayView comment);

} // namespace telvaro
