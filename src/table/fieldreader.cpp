#include "table/fieldreader.h"

#include "codec/escapes.h"
#include "codec/numbers.h"

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
        const qsizetype close = m_bytes.indexOf('"', m_pos + 1);
        if (close < 0) {
            fail(QStringLiteral("a quoted field has no closing quote"));
            return std::nullopt;
        }
        const QByteArrayView inside = m_bytes.sliced(m_pos + 1, close - m_pos - 1);
        f.bytes = inside.toByteArray();
        m_line += int(inside.count('\n') + inside.count('\r') - inside.count("\r\n"));
        // A text with a double quote of its own is cut there: what follows
        // that quote up to the next comma or line end is passed over.
        m_pos = close + 1;
        while (m_pos < size && m_bytes[m_pos] != ',' && !IsLineEnd(m_bytes[m_pos]))
            ++m_pos;
    } else {
        qsizetype end = m_pos;
        while (end < size && m_bytes[end] != ',' && !IsLineEnd(m_bytes[end]))
            ++end;
        f.bytes = m_bytes.sliced(m_pos, end - m_pos).toByteArray();
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

std::optional<QList<QByteArray>> FieldReader::record(int fieldCount)
{
    if (atEnd()) {
        fail(QStringLiteral("the file ends before the record"));
        return std::nullopt;
    }
    QList<QByteArray> fields;
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
        fields.append(std::move(f->bytes));
    }
    return fields;
}

std::optional<qint16> FieldInt16(QByteArrayView field)
{
    const auto value = FieldNumber(field);
    return value ? RoundToInt16(*value) : std::nullopt;
}

std::optional<qint32> FieldInt32(QByteArrayView field)
{
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
