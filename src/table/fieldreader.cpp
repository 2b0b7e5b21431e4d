#include "table/fieldreader.h"

#include "codec/escapes.h"
#include "codec/numbers.h"

#include <cstring>

namespace telvaro {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

std::optional<double> FieldNumber(QByteArrayView field)
{
    if (field.trimmed().isEmpty())
        return 0.0;
    return StrictValue(field);
}

// The value of a field of at most nine digits with an optional minus, as
// written files hold their numbers; anything else is left to the full reader.
std::optional<qint32> PlainWhole(QByteArrayView field)
{
    const bool negative = !field.isEmpty() && field.front() == '-';
    const QByteArrayView digits = field.sliced(negative ? 1 : 0);
    if (digits.isEmpty() || digits.size() > 9)
        return std::nullopt;
    qint32 value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

// Line ends within a quoted field; CR LF counts once.
int LineEndsIn(QByteArrayView text)
{
    const auto size = size_t(text.size());
    if (size == 0 || (!std::memchr(text.data(), '\n', size) && !std::memchr(text.data(), '\r', size)))
        return 0;
    int ends = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')))
            ++ends;
    }
    return ends;
}

} // namespace

bool FieldReader::fail(const QString &why)
{
    m_error = QStringLiteral("line %1: %2").arg(m_line).arg(why);
    return false;
}

void FieldReader::skipBlanks()
{
    while (m_pos < m_bytes.size() && IsBlank(m_bytes[m_pos]))
        ++m_pos;
}

void FieldReader::skipLineEnd()
{
    // Written files end lines with CR LF; a lone CR or LF is taken as well.
    if (m_pos < m_bytes.size() && m_bytes[m_pos] == '\r')
        ++m_pos;
    if (m_pos < m_bytes.size() && m_bytes[m_pos] == '\n')
        ++m_pos;
    ++m_line;
}

std::optional<FieldReader::Field> FieldReader::field()
{
    skipBlanks();
    Field f;
    const qsizetype size = m_bytes.size();
    if (m_pos < size && m_bytes[m_pos] == '"') {
        const char *const from = m_bytes.data() + m_pos + 1;
        const auto *quote = static_cast<const char *>(std::memchr(from, '"', size_t(size - m_pos - 1)));
        if (!quote) {
            fail(QStringLiteral("a quoted field has no closing quote"));
            return std::nullopt;
        }
        f.bytes = QByteArrayView(from, quote);
        m_line += LineEndsIn(f.bytes);
        // A text with a double quote of its own is cut there: what follows
        // that quote up to the next comma or line end is passed over.
        m_pos = quote - m_bytes.data() + 1;
        while (m_pos < size && m_bytes[m_pos] != ',' && !IsLineEnd(m_bytes[m_pos]))
            ++m_pos;
    } else {
        qsizetype end = m_pos;
        while (end < size && m_bytes[end] != ',' && !IsLineEnd(m_bytes[end]))
            ++end;
        f.bytes = m_bytes.sliced(m_pos, end - m_pos);
        m_pos = end;
    }
    if (m_pos >= size) {
        f.end = End::Data;
    } else if (m_bytes[m_pos] == ',') {
        ++m_pos;
        f.end = End::Comma;
    } else {
        skipLineEnd();
        f.end = End::Line;
    }
    return f;
}

std::optional<FieldReader::Record> FieldReader::record(int fieldCount)
{
    if (atEnd()) {
        fail(QStringLiteral("the file ends before the record"));
        return std::nullopt;
    }
    Record fields;
    fields.reserve(fieldCount);
    for (int i = 0; i < fieldCount; ++i) {
        const int startLine = m_line;
        auto f = field();
        if (!f)
            return std::nullopt;
        const bool last = i == fieldCount - 1;
        if (!last && f->end != End::Comma) {
            m_line = startLine;
            fail(QStringLiteral("%1 fields expected, %2 found").arg(fieldCount).arg(i + 1));
            return std::nullopt;
        }
        if (last && f->end == End::Comma) {
            fail(QStringLiteral("more than %1 fields").arg(fieldCount));
            return std::nullopt;
        }
        fields.append(f->bytes);
    }
    return fields;
}

std::optional<qint16> FieldInt16(QByteArrayView field)
{
    if (const auto whole = PlainWhole(field))
        return RoundToInt16(*whole);
    const auto value = FieldNumber(field);
    return value ? RoundToInt16(*value) : std::nullopt;
}

std::optional<qint32> FieldInt32(QByteArrayView field)
{
    if (const auto whole = PlainWhole(field))
        return *whole;
    const auto value = FieldNumber(field);
    return value ? RoundToInt32(*value) : std::nullopt;
}

QString Excerpt(QByteArrayView field)
{
    constexpr qsizetype shown = 24;
    QString text = QString::fromLatin1(FormatReceived(field.first(qMin(field.size(), shown))));
    if (field.size() > shown)
        text += QStringLiteral("...");
    return text;
}

void AppendQuotedField(QByteArray &out, QByteArrayView text)
{
    Q_ASSERT(!text.contains('"'));
    out += '"';
    out += text;
    out += '"';
}

} // namespace telvaro
