#include "run/progress.h"

#include "codec/codepage.h"
#include "codec/numbers.h"

namespace telvaro {

namespace {

// The glyph a terminal font (the IBM PC character set) draws for a byte that
// the code page leaves without a visible character.
QChar TerminalGlyph(uchar byte)
{
    static const char16_t low[32] = {u' ',      u'\u263A', u'\u263B', u'\u2665', u'\u2666', u'\u2663', u'\u2660',
                                     u'\u2022', u'\u25D8', u'\u25CB', u'\u25D9', u'\u2642', u'\u2640', u'\u266A',
                                     u'\u266B', u'\u263C', u'\u25BA', u'\u25C4', u'\u2195', u'\u203C', u'\u00B6',
                                     u'\u00A7', u'\u25AC', u'\u21A8', u'\u2191', u'\u2193', u'\u2192', u'\u2190',
                                     u'\u221F', u'\u2194', u'\u25B2', u'\u25BC'};
    if (byte < 32)
        return QChar(low[byte]);
    switch (byte) {
    case 0x7F: return QChar(u'\u2302');
    case 0x81: return QChar(u'\u00FC');
    case 0x8D: return QChar(u'\u00EC');
    case 0x8F: return QChar(u'\u00C5');
    case 0x90: return QChar(u'\u00C9');
    case 0x9D: return QChar(u'\u00A5');
    case 0xAD: return QChar(u'\u00A1'); // the soft hyphen, which fonts leave unseen
    default: return QChar(byte);
    }
}

} // namespace

void Progress::Start(int framesBefore, int framesAfter)
{
    m_framesBefore = qMax(0, framesBefore);
    m_framesAfter = qMax(0, framesAfter);
    m_framesBeforeShown = 0;
    m_shown = true;
    Q_EMIT started();
}

QString Progress::CaptionFor(qint16 index, qint16 total, double share)
{
    return QStringLiteral("Sending Message #") + FormatPicture(index, u"000") + u'/' + FormatPicture(total, u"000") +
           QStringLiteral(" - ") + FormatPicture(share, u"00%");
}

bool Progress::Update(qint16 index, qint16 total, const QByteArray &frame)
{
    if (total == -1)
        return false;
    const double done =
        m_framesBeforeShown < m_framesBefore ? ++m_framesBeforeShown : m_framesBefore + double(index) + 1;
    const double share = done / (m_framesBefore + double(total) + 1 + m_framesAfter);
    m_caption = CaptionFor(index, total, share);
    m_bar = float(share * BarMaximum);
    m_status = VisibleGlyphs(frame);
    Q_EMIT updated();
    return true;
}

void Progress::Done()
{
    const bool wasShown = m_shown;
    m_shown = false;
    m_caption = QStringLiteral("Sending Message #");
    m_bar = 0;
    m_status.clear();
    if (wasShown)
        Q_EMIT finished();
}

QString Progress::VisibleGlyphs(const QByteArray &frame)
{
    // Bytes the code page shows as characters keep them, as every other box
    // shows them; the rest (below 32, 127, the code page's five unassigned
    // codes and the soft hyphen) take the terminal font's glyph.
    QString text = BytesToText(frame);
    for (qsizetype i = 0; i < text.size(); ++i)
        if (!text[i].isPrint())
            text[i] = TerminalGlyph(uchar(frame[i]));
    return text;
}

} // namespace telvaro
