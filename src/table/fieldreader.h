#pragma once
// The delimited-field form of the message files: fields separated by commas,
// records ended by a line end, text fields in double quotes. Reading skips
// leading blanks, ends a quoted field at the next double quote (passing over
// whatever follows it up to the next comma or line end) and an unquoted one
// at the next comma or line end.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QVarLengthArray>
#include <optional>

namespace telvaro {

class FieldReader {
public:
    explicit FieldReader(QByteArrayView bytes) : m_bytes(bytes) {}

    // True when no record is left ("the file has no more lines").
    bool atEnd() const { return m_pos >= m_bytes.size(); }
    // The line the next record starts on, counting from 1.
    int line() const { return m_line; }

    // The raw fields of the next record, as views into the bytes read: every
    // field but the last must end with a comma, the last with a line end or
    // the end of the data. Empty optional on a malformed record; error() then
    // says why.
    using Record = QVarLengthArray<QByteArrayView, 4>;
    std::optional<Record> record(int fieldCount);

    QString error() const { return m_error; }

private:
    enum class End { Comma, Line, Data };
    struct Field {
        QByteArrayView bytes;
        End end = End::Data;
    };
    std::optional<Field> field();
    void skipBlanks();
    void skipLineEnd();
    bool fail(const QString &why);

    QByteArrayView m_bytes;
    qsizetype m_pos = 0;
    int m_line = 1;
    QString m_error;
};

// A whole number from a field, as the file's 16- and 32-bit fields hold it:
// blanks around it allowed, an empty field reads as 0, anything that is not a
// number or lies outside the field's range fails.
std::optional<qint16> FieldInt16(QByteArrayView field);
std::optional<qint32> FieldInt32(QByteArrayView field);

// A field as a message may quote it: its first few characters, control
// bytes in escape notation, "..." where it goes on. A field can be megabytes
// long.
QString Excerpt(QByteArrayView field);

// Appends a text field: the text between double quotes, as it is. The text
// must hold no double quote, since nothing could read it back.
void AppendQuotedField(QByteArray &out, QByteArrayView text);
constexpr char LineEnd[] = "\r\n";

} // namespace telvaro
