#pragma once
// What the progress window shows while a transfer sends its frames: the
// caption with the message count and percentage, the bar and the frame.

#include <QObject>
#include <QString>

namespace telvaro {

class Progress : public QObject {
    Q_OBJECT
public:
    static constexpr int BarMaximum = 1000;

    using QObject::QObject;

    // Frames that go out before the first message (each with its own
    // Update) and after the last count as steps: the bar and percentage
    // reach their end only with the last frame.
    void Start(int framesBefore = 0, int framesAfter = 0);
    // False (and nothing changes) when Total is -1, which leaves no divisor.
    bool Update(qint16 index, qint16 total, const QByteArray &frame);
    void Done();

    bool isShown() const { return m_shown; }
    QString caption() const { return m_caption; }
    float barValue() const { return m_bar; }
    QString statusLine() const { return m_status; }

    static QString CaptionFor(qint16 index, qint16 total, double share);
    // Control bytes drawn as the visible glyphs a terminal font gives them.
    static QString VisibleGlyphs(const QByteArray &frame);

Q_SIGNALS:
    void started();
    void updated();
    void finished();

private:
    bool m_shown = false;
    int m_framesBefore = 0;
    int m_framesAfter = 0;
    int m_framesBeforeShown = 0;
    QString m_caption = QStringLiteral("Sending Message #");
    float m_bar = 0;
    QString m_status;
};

} // namespace telvaro
