#include "table/messagefiles.h"

#include "codec/escapes.h"
#include "codec/numbers.h"
#include "table/fieldreader.h"

#include <charconv>
#include <cstring>
#include <limits>

namespace telvaro {

namespace {

MessageFileRead Failed(QList<MessageEntry> entries, const QString &why)
{
    return {std::move(entries), why};
}

// A QND table's entries carry their positions as numbers.
QList<MessageEntry> Numbered(QList<MessageEntry> entries)
{
    for (qsizetype i = 0; i < entries.size(); ++i)
        entries[i].Number = static_cast<qint16>(i);
    return entries;
}

QString AtLine(int line, const QString &what)
{
    return QStringLiteral("line %1: %2").arg(line).arg(what);
}

// Why a field holds no whole number of the range its reader takes.
QString NumberProblem(int line, const char *what, QByteArrayView field, qint64 low, qint64 high)
{
    if (!StrictValue(field))
        return AtLine(line, QStringLiteral("the %1 is not a number").arg(QLatin1StringView(what)));
    return AtLine(line, QStringLiteral("the %1 %2 is out of range (%3 to %4)")
                            .arg(QLatin1StringView(what), Excerpt(field.trimmed()))
                            .arg(low)
                            .arg(high));
}

QString Int16Problem(int line, const char *what, QByteArrayView field)
{
    return NumberProblem(line, what, field, std::numeric_limits<qint16>::min(), std::numeric_limits<qint16>::max());
}

QString Int32Problem(int line, const char *what, QByteArrayView field)
{
    return NumberProblem(line, what, field, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max());
}

// The file's text is written straight into a buffer sized beforehand:
// each Put writes at o and returns the end of what it wrote.
char *Put(char *o, QByteArrayView bytes)
{
    if (!bytes.isEmpty())
        std::memcpy(o, bytes.data(), size_t(bytes.size()));
    return o + bytes.size();
}

char *PutNumber(char *o, qint64 value)
{
    constexpr int kLongest = 20; // "-9223372036854775808"
    return std::to_chars(o, o + kLongest, value).ptr;
}

constexpr QByteArrayView kQuoteEscape = "<0x22>";

// Room for a text or comment made file-safe: each quote may take the six
// characters of an escape.
qsizetype FileSafeRoom(QByteArrayView text)
{
    if (text.isEmpty()) // an empty text may have no bytes to search at all
        return 0;
    qsizetype quotes = 0;
    const char *const end = text.data() + text.size();
    for (const char *p = text.data(); (p = static_cast<const char *>(std::memchr(p, '"', size_t(end - p)))); ++p)
        ++quotes;
    return text.size() + quotes * (kQuoteEscape.size() - 1);
}

char *PutFileSafeText(char *o, QByteArrayView text)
{
    if (!text.contains('"'))
        return Put(o, text);
    const qsizetype size = text.size();
    const qsizetype lastQuote = text.lastIndexOf('"');
    qsizetype p = 0;
    // Past its last quote the text is written as it stands.
    while (p <= lastQuote) {
        // The same six-character windows that ParseEscapes reads as escapes.
        if (text[p] == '<' && p + 5 < size && text[p + 5] == '>') {
            const QByteArrayView window = text.sliced(p, 6);
            if (!window.contains('"')) {
                o = Put(o, window);
            } else if (const auto code = ParseEscapes(window)) {
                o = Put(o, HexEscape(static_cast<unsigned char>(code->at(0))));
            } else {
                // An escape that does not convert stays one that does not:
                // another character that ends a number takes the quote's place.
                for (const char c : window)
                    *o++ = c == '"' ? '\'' : c;
            }
            p += 6;
        } else if (text[p] == '"') {
            o = Put(o, kQuoteEscape);
            ++p;
        } else {
            *o++ = text[p++];
        }
    }
    return Put(o, text.sliced(p));
}

char *PutFileSafeComment(char *o, QByteArrayView comment)
{
    if (comment.isEmpty())
        return o;
    const char *p = comment.data();
    const char *const end = p + comment.size();
    while (const char *quote = static_cast<const char *>(std::memchr(p, '"', size_t(end - p)))) {
        o = Put(Put(o, QByteArrayView(p, quote)), kQuoteEscape);
        p = quote + 1;
    }
    return Put(o, QByteArrayView(p, end));
}

} // namespace

MessageFormat FormatOfName(const QString &name)
{
    const QString ext = name.right(3).toUpper();
    if (ext == QLatin1String("TVD"))
        return MessageFormat::Tvd;
    if (ext == QLatin1String("QND"))
        return MessageFormat::Qnd;
    return MessageFormat::Other;
}

QString CompanionName(const QString &name)
{
    if (name.size() < 3)
        return {};
    return name.chopped(3) + QStringLiteral("TV1");
}

QByteArray FileSafeText(QByteArrayView text)
{
    QByteArray out(FileSafeRoom(text), Qt::Uninitialized);
    out.truncate(PutFileSafeText(out.data(), text) - out.data());
    return out;
}

QByteArray FileSafeComment(QByteArrayView comment)
{
    QByteArray out(FileSafeRoom(comment), Qt::Uninitialized);
    out.truncate(PutFileSafeComment(out.data(), comment) - out.data());
    return out;
}

MessageFileRead ReadTvd(QByteArrayView bytes)
{
    FieldReader in(bytes);
    QList<MessageEntry> entries;
    while (!in.atEnd()) {
        const int line = in.line();
        if (entries.size() >= MessageTable::MaxEntries)
            return Failed(std::move(entries),
                          AtLine(line, QStringLiteral("more than %1 messages").arg(MessageTable::MaxEntries)));
        const auto fields = in.record(4);
        if (!fields)
            return Failed(std::move(entries), in.error());
        const auto interval = FieldInt32(fields->at(0));
        if (!interval)
            return Failed(std::move(entries), Int32Problem(line, "interval", fields->at(0)));
        const auto number = FieldInt16(fields->at(1));
        if (!number)
            return Failed(std::move(entries), Int16Problem(line, "message number", fields->at(1)));
        entries.append({*number, *interval, fields->at(2).toByteArray(), {}, fields->at(3).toByteArray()});
    }
    return {std::move(entries), std::nullopt};
}

MessageFileRead ReadQnd(QByteArrayView bytes)
{
    FieldReader in(bytes);
    QList<MessageEntry> entries;
    auto fail = [&entries](const QString &why) { return Failed(Numbered(std::move(entries)), why); };
    for (int k = 0; k < QndEntries; ++k) {
        const int line = in.line();
        const auto fields = in.record(3);
        if (!fields)
            return fail(in.error());
        const auto interval = FieldInt16(fields->at(0));
        if (!interval)
            return fail(Int16Problem(line, "interval", fields->at(0)));
        const auto number = FieldInt16(fields->at(1));
        if (!number)
            return fail(Int16Problem(line, "message number", fields->at(1)));
        const QByteArrayView text = fields->at(2);
        if (text.isEmpty())
            continue;
        if (*number < 0 || *number >= MessageTable::MaxEntries)
            return fail(AtLine(line, QStringLiteral("number %1 names no message").arg(*number)));
        // The table ends at the number of the latest text, growing or shrinking.
        entries.resize(*number + 1);
        MessageEntry &e = entries[*number];
        e.Interval = *interval;
        e.Text = text.toByteArray();
        // A text whose escapes do not convert is kept as typed; a run derives
        // its bytes again before sending and reports it then.
        e.SendData = ParseEscapes(text).value_or(QByteArray());
    }
    for (qsizetype j = 0; !in.atEnd() && j < entries.size(); ++j) {
        const auto fields = in.record(1);
        if (!fields)
            return fail(in.error());
        entries[j].Comment = fields->at(0).toByteArray();
    }
    return {Numbered(std::move(entries)), std::nullopt};
}

QByteArray WriteTvd(const QList<MessageEntry> &entries)
{
    // Room for each line at its longest: two numbers, the commas and quotes,
    // the line end and the fields.
    constexpr qsizetype kLineRoom = 48;
    qsizetype room = 0;
    for (const MessageEntry &e : entries)
        room += kLineRoom + FileSafeRoom(e.Text) + FileSafeRoom(e.Comment);
    QByteArray out(room, Qt::Uninitialized);
    char *o = out.data();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const MessageEntry &e = entries[i];
        o = PutNumber(o, e.Interval);
        *o++ = ',';
        o = PutNumber(o, i);
        o = Put(o, ",\"");
        o = PutFileSafeText(o, e.Text);
        o = Put(o, "\",\"");
        o = PutFileSafeComment(o, e.Comment);
        *o++ = '"';
        o = Put(o, LineEnd);
    }
    out.truncate(o - out.data());
    return out;
}

QByteArray WriteQnd(const QList<MessageEntry> &entries)
{
    const qsizetype written = qMin<qsizetype>(entries.size(), QndEntries);
    QByteArray out;
    out.reserve(QndLines * 8);
    for (int i = 0; i < QndEntries; ++i) {
        const bool held = i < written;
        out += QByteArray::number(held ? entries[i].Interval : 0);
        out += ',';
        out += QByteArray::number(i);
        out += ',';
        AppendQuotedField(out, held ? FileSafeText(entries[i].Text) : QByteArray());
        out += LineEnd;
    }
    for (int i = 0; i < QndEntries; ++i) {
        AppendQuotedField(out, i < written ? FileSafeComment(entries[i].Comment) : QByteArray());
        out += LineEnd;
    }
    return out;
}

RegisterFileRead ReadTv1(QByteArrayView bytes)
{
    RegisterFileRead read;
    FieldReader in(bytes);
    const auto first = in.record(1);
    if (!first) {
        read.error = in.error();
        return read;
    }
    const auto format = FieldInt16(first->at(0));
    if (!format) {
        read.error = Int16Problem(1, "format", first->at(0));
        return read;
    }
    if (*format != RegisterFileFormat) {
        read.result = RegisterFileRead::Result::OtherFormat;
        read.error = QStringLiteral("the file is of format %1; this program reads format %2")
                         .arg(*format)
                         .arg(RegisterFileFormat);
        return read;
    }
    for (int r = 1; r < int(read.registers.size()); ++r) {
        const int line = in.line();
        const auto fields = in.record(2);
        if (!fields) {
            read.error = in.error();
            return read;
        }
        const auto width = FieldInt16(fields->at(0));
        if (!width) {
            read.error = Int16Problem(line, "width", fields->at(0));
            return read;
        }
        // Fills are written like message texts, so a quote comes back as one.
        const RegisterEntry entry{*width, ParseEscapes(fields->at(1)).value_or(fields->at(1).toByteArray())};
        if (const auto broken = RegisterRuleBroken(entry)) {
            read.error = AtLine(line, *broken);
            return read;
        }
        read.registers[r] = entry;
    }
    read.result = RegisterFileRead::Result::Loaded;
    return read;
}

QByteArray WriteTv1(const RegisterTable &registers, qint16 format)
{
    QByteArray out;
    out += QByteArray::number(format);
    out += LineEnd;
    for (int r = 1; r < int(registers.size()); ++r) {
        out += QByteArray::number(registers[r].Width);
        out += ',';
        AppendQuotedField(out, FileSafeText(registers[r].Fill));
        out += LineEnd;
    }
    return out;
}

} // namespace telvaro
