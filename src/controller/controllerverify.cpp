#include "controller/controllerverify.h"

#include "codec/controlbytes.h"
#include "codec/escapes.h"
#include "controller/controllerprotocol.h"

#include <QHash>
#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <optional>
#include <vector>

namespace telvaro {

namespace {

constexpr qsizetype shownBefore = 20;
constexpr qsizetype shownLength = 60;
constexpr QByteArrayView timeToken("<T>");

// A register as its frame carries it: number, width, fill.
QByteArray RegisterText(size_t number, const RegisterEntry &entry)
{
    if (entry.Width <= 0)
        return {};
    return QByteArray::number(qulonglong(number)).rightJustified(2, '0') + QByteArray::number(entry.Width) + entry.Fill;
}

// Bytes in escape notation. A "<" that would read as the start of an escape
// is written <0x3C>, so that a text holding "<0x04>" never looks like the
// byte it names; so is one that would read as a time token in what was read
// back, where "<T>" is text, not a token.
QByteArray Notation(QByteArrayView bytes, qsizetype from, qsizetype length, bool tokens)
{
    QByteArray out;
    const qsizetype end = qMin(bytes.size(), from + length);
    for (qsizetype i = from; i < end; ++i) {
        const bool token = bytes.sliced(i).startsWith(timeToken);
        const bool escape = i + 5 < bytes.size() && bytes[i + 5] == '>';
        if (bytes[i] == '<' && (tokens ? escape && !token : escape || token))
            out += "<0x3C>";
        else
            out += FormatReceived(bytes.sliced(i, 1));
    }
    return out;
}

// Quoted, or "none"; a long text from a little before where it differs.
QString Shown(const QByteArray &bytes, qsizetype differsAt, bool tokens)
{
    if (bytes.isEmpty())
        return QStringLiteral("none");
    const qsizetype from =
        bytes.size() <= shownLength ? 0 : qBound<qsizetype>(0, differsAt - shownBefore, bytes.size());
    const qsizetype length = qMin(shownLength, bytes.size() - from);
    return QStringLiteral("\"%1%2%3\"")
        .arg(from > 0 ? QStringLiteral("...") : QString(), QString::fromLatin1(Notation(bytes, from, length, tokens)),
             from + length < bytes.size() ? QStringLiteral("...") : QString());
}

qsizetype FirstDifference(const QByteArray &a, const QByteArray &b)
{
    qsizetype i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i])
        ++i;
    return i;
}

ControllerDifference Difference(const QString &what, const QByteArray &sent, const QByteArray &back)
{
    const qsizetype at = FirstDifference(sent, back);
    const QString a = Shown(sent, at, true), b = Shown(back, at, false);
    return {what, a, b, QStringLiteral("%1: sent %2, read back %3").arg(what, a, b)};
}

QString MessageName(int number)
{
    return QStringLiteral("message %1").arg(number, 3, 10, QLatin1Char('0'));
}

// Whether a message sent and one read back are the same: the same bytes,
// where each "<T>" sent stands for a text of the shape a time token gives.
class MessageMatcher {
public:
    MessageMatcher(const QList<QByteArray> &sent, const QList<QByteArray> &back) : m_sent(sent), m_back(back)
    {
        // Messages without a token compare as numbers, one per distinct text.
        QHash<QByteArray, int> ids;
        m_backIds.reserve(size_t(back.size()));
        for (const QByteArray &m : back)
            m_backIds.push_back(*ids.insert(m, ids.value(m, int(ids.size()))));
        m_sentIds.reserve(size_t(sent.size()));
        for (const QByteArray &m : sent)
            m_sentIds.push_back(m.contains(timeToken) ? -1 : ids.value(m, -2));
    }

    bool same(qsizetype i, qsizetype j)
    {
        const int sentId = m_sentIds[size_t(i)];
        if (sentId != -1)
            return sentId == m_backIds[size_t(j)];
        return matchesTokens(m_sent[i], m_back[j]);
    }

private:
    // Longer than any date and time text a locale writes.
    static constexpr qsizetype longestTimeText = 128;

    // The text between each pair of tokens must follow a time text: the
    // positions the back text can be at after each literal are followed
    // through, so a token never swallows text a later one needs.
    bool matchesTokens(const QByteArray &sent, const QByteArray &back)
    {
        QList<QByteArrayView> literals;
        for (qsizetype from = 0;;) {
            const qsizetype at = sent.indexOf(timeToken, from);
            literals << QByteArrayView(sent).sliced(from, (at < 0 ? sent.size() : at) - from);
            if (at < 0)
                break;
            from = at + timeToken.size();
        }
        const QByteArrayView head = literals.front(), tail = literals.back();
        if (back.size() < head.size() + tail.size() || !back.startsWith(head) || !back.endsWith(tail))
            return false;
        const qsizetype tailAt = back.size() - tail.size();
        QList<qsizetype> positions{head.size()};
        for (qsizetype t = 1; t < literals.size() && !positions.isEmpty(); ++t) {
            const QByteArrayView next = literals[t];
            const bool last = t == literals.size() - 1;
            QList<qsizetype> reached;
            for (const qsizetype p : std::as_const(positions)) {
                const qsizetype limit = qMin(tailAt, p + longestTimeText);
                for (qsizetype q = last ? tailAt : p + 1; q <= limit; ++q) {
                    if (!last && !next.isEmpty()) {
                        q = back.indexOf(next, q);
                        if (q < 0 || q > limit)
                            break;
                    }
                    if (isTimeText(QByteArrayView(back).sliced(p, q - p)))
                        reached << (last ? back.size() : q + next.size());
                }
            }
            std::sort(reached.begin(), reached.end());
            reached.erase(std::unique(reached.begin(), reached.end()), reached.end());
            positions = reached;
        }
        return positions.contains(back.size());
    }

    bool isTimeText(QByteArrayView text)
    {
        if (text.isEmpty())
            return false;
        const QByteArray key = text.toByteArray();
        if (const auto known = m_timeTexts.constFind(key); known != m_timeTexts.cend())
            return *known;
        if (!m_timeText.isValid() || m_timeText.pattern().isEmpty()) {
            m_timeText.setPattern(QRegularExpression::anchoredPattern(TimeTokenPattern(QLocale::system())));
            m_timeText.optimize();
        }
        const bool shaped = m_timeText.match(QString::fromLatin1(key)).hasMatch();
        m_timeTexts.insert(key, shaped);
        return shaped;
    }

    const QList<QByteArray> &m_sent;
    const QList<QByteArray> &m_back;
    std::vector<int> m_sentIds; // -1: holds a token; -2: read back nowhere
    std::vector<int> m_backIds;
    QRegularExpression m_timeText;
    QHash<QByteArray, bool> m_timeTexts;
};

// One step of an alignment: a message in both lists, sent only, or read back only.
struct Step {
    enum class Kind { Same, SentOnly, BackOnly } kind;
    qsizetype sent = -1;
    qsizetype back = -1;
};

// The shortest edit script between sent[0, n) and back[0, m) by Myers'
// O(ND) algorithm; none when it needs more than maxEdits steps. Each row d
// keeps, for diagonal k = x - y, the furthest x reached with d edits inside
// the grid, or -1; the rows kept are what the memory costs, maxEdits²
// numbers at most. The time is at most (n + m) · maxEdits comparisons.
template <typename Same> std::optional<QList<Step>> Align(qsizetype n, qsizetype m, Same same, qsizetype maxEdits)
{
    // An upload holds far fewer messages than 32-bit numbers count.
    std::vector<std::vector<qint32>> rows;
    const auto at = [&rows](qsizetype d, qsizetype k) {
        return k < -d || k > d ? qsizetype(-1) : qsizetype(rows[size_t(d)][size_t(k + d)]);
    };
    // The furthest start on diagonal k after d edits, and whether it came
    // from the diagonal above (a message read back only).
    const auto start = [&](qsizetype d, qsizetype k) -> std::pair<qsizetype, bool> {
        if (d == 0)
            return {0, false};
        const qsizetype fromLeft = at(d - 1, k - 1), fromAbove = at(d - 1, k + 1);
        const qsizetype right = fromLeft >= 0 && fromLeft + 1 <= n ? fromLeft + 1 : -1;
        const qsizetype down = fromAbove >= 0 && fromAbove - k <= m ? fromAbove : -1;
        return down >= right ? std::pair{down, true} : std::pair{right, false};
    };
    for (qsizetype d = 0; d <= qMin(n + m, maxEdits); ++d) {
        rows.emplace_back(size_t(2 * d + 1), -1);
        for (qsizetype k = -d; k <= d; k += 2) {
            qsizetype x = start(d, k).first;
            if (x < 0)
                continue;
            while (x < n && x - k < m && same(x, x - k))
                ++x;
            rows.back()[size_t(k + d)] = qint32(x);
            if (x != n || x - k != m)
                continue;
            // Back from the end, each edit and the run of matches after it.
            QList<Step> steps;
            for (qsizetype e = d, kk = k, to = n; e >= 0; --e) {
                const auto [from, down] = start(e, kk);
                for (qsizetype i = to - 1; i >= from; --i)
                    steps.append({Step::Kind::Same, i, i - kk});
                if (e == 0)
                    break;
                if (down)
                    steps.append({Step::Kind::BackOnly, -1, from - kk - 1});
                else
                    steps.append({Step::Kind::SentOnly, from - 1, -1});
                kk += down ? 1 : -1;
                to = down ? from : from - 1;
            }
            std::reverse(steps.begin(), steps.end());
            return steps;
        }
    }
    return std::nullopt;
}

// Each message read back against what was sent: matches, changes (a run of
// messages sent only beside a run read back only, paired in order), and what
// is missing or extra.
class MessageReport {
public:
    MessageReport(const ControllerImage &sent, const ControllerImage &back) : m_sent(sent), m_back(back) {}

    void add(const QList<Step> &steps)
    {
        QList<qsizetype> sentOnly, backOnly;
        const auto flush = [&] {
            const qsizetype paired = qMin(sentOnly.size(), backOnly.size());
            for (qsizetype p = 0; p < paired; ++p)
                changed(sentOnly[p], backOnly[p]);
            for (qsizetype p = paired; p < sentOnly.size(); ++p)
                missing(sentOnly[p]);
            for (qsizetype p = paired; p < backOnly.size(); ++p)
                extra(backOnly[p]);
            sentOnly.clear();
            backOnly.clear();
        };
        for (const Step &step : steps) {
            if (step.kind == Step::Kind::Same) {
                flush();
                m_lastSent = step.sent;
            } else if (step.kind == Step::Kind::SentOnly) {
                sentOnly << step.sent;
            } else {
                backOnly << step.back;
            }
        }
        flush();
    }
    void changed(qsizetype i, qsizetype j)
    {
        m_rows << Difference(MessageName(number(i)), m_sent.messages[i], m_back.messages[j]);
        m_lastSent = i;
    }
    void missing(qsizetype i)
    {
        const QString what = MessageName(number(i)), sent = Shown(m_sent.messages[i], 0, true);
        m_rows << ControllerDifference{what, sent, QStringLiteral("missing"),
                                       QStringLiteral("%1: sent %2, missing from the controller").arg(what, sent)};
        m_lastSent = i;
    }
    void extra(qsizetype j)
    {
        QString where;
        if (m_lastSent >= 0)
            where = QStringLiteral(" after ") + MessageName(number(m_lastSent));
        else if (!m_sent.messages.isEmpty())
            where = QStringLiteral(" before ") + MessageName(number(0));
        const QString back = Shown(m_back.messages[j], 0, false);
        m_rows << ControllerDifference{QStringLiteral("extra message") + where,
                                       {},
                                       back,
                                       QStringLiteral("extra message%1: read back %2").arg(where, back)};
    }
    void setLastSent(qsizetype i) { m_lastSent = i; }
    QList<ControllerDifference> rows() const { return m_rows; }

private:
    int number(qsizetype i) const { return int(m_sent.numbers.value(i, int(i))); }

    const ControllerImage &m_sent;
    const ControllerImage &m_back;
    QList<ControllerDifference> m_rows;
    qsizetype m_lastSent = -1;
};

} // namespace

ControllerImage ReadControllerImage(const QByteArray &bytes)
{
    ControllerImage image;
    qsizetype position = 0;
    for (bool first = true;; first = false) {
        const qsizetype end = bytes.indexOf(ControlByte::EOT, position);
        // Bytes after the last EOT make no piece, as in an upload.
        if (end < 0)
            break;
        const QByteArray piece = bytes.mid(position, end + 1 - position);
        position = end + 1;
        if (first) {
            const UploadContents contents = ParseUpload(FormatReceived(piece));
            image.error = contents.error;
            for (const auto &[number, entry] : contents.registers)
                image.registers.at(size_t(number)) = entry;
        } else if (piece == ConfigurationFrame(true) || piece == ConfigurationFrame(false)) {
            image.configuration = piece;
        } else {
            image.messages << piece;
        }
    }
    return image;
}

ControllerImage SentControllerImage(const QByteArray &registerFrame, const QList<SentMessage> &messages,
                                    const QByteArray &configurationFrame)
{
    QByteArray bytes = registerFrame;
    QList<std::pair<qsizetype, int>> starts; // where each message's frame starts, and its number
    for (const SentMessage &m : messages) {
        starts.append({bytes.size(), m.number});
        bytes += m.bytes;
    }
    ControllerImage image = ReadControllerImage(bytes + configurationFrame);
    // A frame without its EOT runs on into the next: a message is numbered
    // by the frame it starts in.
    qsizetype at = registerFrame.size();
    auto frame = starts.cbegin();
    for (const QByteArray &message : std::as_const(image.messages)) {
        while (frame + 1 != starts.cend() && (frame + 1)->first <= at)
            ++frame;
        image.numbers << (frame == starts.cend() ? -1 : frame->second);
        at += message.size();
    }
    return image;
}

std::optional<ControllerImage> TableAsSent(const MessageTable &table, const RegisterTable &registers, bool serialInput)
{
    QList<SentMessage> messages;
    for (int i = 0; i <= table.UpperIndex(); ++i) {
        const auto bytes = ParseEscapes(table.entry(i).Text);
        if (!bytes)
            return std::nullopt;
        if (!bytes->isEmpty())
            messages.append({i, *bytes});
    }
    return SentControllerImage(RegisterFrame(registers), messages, ConfigurationFrame(serialInput));
}

ControllerComparison CompareWithController(const ControllerImage &sent, const ControllerImage &readBack)
{
    ControllerComparison result;
    QList<ControllerDifference> &rows = result.rows;
    for (size_t k = 0; k < sent.registers.size(); ++k) {
        const QByteArray a = RegisterText(k, sent.registers[k]), b = RegisterText(k, readBack.registers[k]);
        if (a != b)
            rows << Difference(QStringLiteral("register %1").arg(k, 2, 10, QLatin1Char('0')), a, b);
    }

    const QList<QByteArray> &a = sent.messages, &b = readBack.messages;
    MessageMatcher matcher(a, b);
    // What both lists begin and end with needs no alignment.
    qsizetype head = 0, tail = 0;
    while (head < a.size() && head < b.size() && matcher.same(head, head))
        ++head;
    while (tail < a.size() - head && tail < b.size() - head && matcher.same(a.size() - 1 - tail, b.size() - 1 - tail))
        ++tail;
    const qsizetype n = a.size() - head - tail, m = b.size() - head - tail;
    MessageReport report(sent, readBack);
    report.setLastSent(head - 1);
    const auto aligned = Align(
        n, m, [&](qsizetype i, qsizetype j) { return matcher.same(head + i, head + j); }, MaxAlignedEdits);
    if (aligned) {
        QList<Step> steps = *aligned;
        for (Step &s : steps) {
            s.sent = s.sent < 0 ? -1 : s.sent + head;
            s.back = s.back < 0 ? -1 : s.back + head;
        }
        report.add(steps);
    } else {
        result.positional = true;
        for (qsizetype i = 0; i < qMax(n, m); ++i) {
            if (i < n && i < m) {
                if (!matcher.same(head + i, head + i))
                    report.changed(head + i, head + i);
                else
                    report.setLastSent(head + i);
            } else if (i < n) {
                report.missing(head + i);
            } else {
                report.extra(head + i);
            }
        }
    }
    rows << report.rows();

    if (sent.configuration != readBack.configuration)
        rows << Difference(QStringLiteral("configuration"), sent.configuration, readBack.configuration);
    for (const ControllerDifference &d : std::as_const(rows))
        result.differences << d.line;
    return result;
}

QStringList DifferenceReport(const ControllerComparison &comparison)
{
    const QStringList &differences = comparison.differences;
    QStringList lines = differences.mid(0, MaxDifferenceLines);
    if (comparison.positional)
        lines << QStringLiteral("The messages differ in more than %1 places: they were compared position by "
                                "position, not aligned.")
                     .arg(MaxAlignedEdits);
    lines << QStringLiteral("%1 %2 between what was sent and what the controller holds.")
                 .arg(differences.size())
                 .arg(differences.size() == 1 ? QStringLiteral("difference") : QStringLiteral("differences"));
    return lines;
}

ReadBackComparison CompareReadBack(const ControllerImage &sent, const QByteArray &received)
{
    ReadBackComparison result;
    const ControllerImage back = ReadControllerImage(received);
    result.error = back.error;
    if (result.error.isEmpty())
        result.comparison = CompareWithController(sent, back);
    result.lines = result.same()            ? QStringList{QStringLiteral("The controller holds what was sent.")}
                   : result.error.isEmpty() ? DifferenceReport(result.comparison)
                                            : QStringList{result.error};
    return result;
}

} // namespace telvaro
