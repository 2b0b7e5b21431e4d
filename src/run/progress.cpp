#include "run/progress.h"

#include "codec/codepage.h"
#include "codec/numbers.h"

namespace telvaro {

void Progress::Start()
{
    m_shown = true;
    Q_EMIT started();
}

QString Progress::CaptionFor(qint16 index, qint16 total)
{
    const double share = (double(index) + 1) / (double(total) + 1);
    return QStringLiteral("Sending Message #") + FormatPicture(index, u"000") + u'/' + FormatPicture(total, u"000") +
           QStringLiteral(" - ") + FormatPicture(share, u"00%");
}

bool Progress::Update(qint16 index, qint16 total, const QByteArray &frame)
{
    if (total == -1)
        return false;
    m_caption = CaptionFor(index, total);
    m_bar = float((double(index) + 1) / (double(total) + 1) * BarMaximum);
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
    // The glyphs of the IBM PC character set for the codes 0 to 31.
    static const char16_t glyphs[32] = {u' ',      u'\u263A', u'\u263B', u'\u2665', u'\u2666', u'\u2663', u'\u2660',
                                        u'\u2022', u'\u25D8', u'\u25CB', u'\u25D9', u'\u2642', u'\u2640', u'\u266A',
                                        u'\u266B', u'\u263C', u'\u25BA', u'\u25C4', u'\u2195', u'\u203C', u'\u00B6',
                                        u'\u00A7', u'\u25AC', u'\u21A8', u'\u2191', u'\u2193', u'\u2192', u'\u2190',
                                        u'\u221F', u'\u2194', u'\u25B2', u'\u25BC'};
    QString text = BytesToText(frame);
    for (QChar &c : text)
        if (c.unicode() < 32)
            c = QChar(glyphs[c.unicode()]);
    return text;
}

} // namespace telvaro
