#pragma once
// The texts of the main status bar `SBMain`: panel 1 the link status, panel
// 2 the traffic, panel 3 the run or transfer position.

#include <QObject>
#include <QString>
#include <array>

namespace telvaro {

class StatusPanels : public QObject {
    Q_OBJECT
public:
    static constexpr int Count = 3;
    using QObject::QObject;

    QString text(int panel) const { return valid(panel) ? m_texts.at(size_t(panel - 1)) : QString(); }
    void setText(int panel, const QString &text)
    {
        if (!valid(panel) || m_texts.at(size_t(panel - 1)) == text)
            return;
        m_texts.at(size_t(panel - 1)) = text;
        Q_EMIT changed(panel);
    }

Q_SIGNALS:
    void changed(int panel);

private:
    static bool valid(int panel) { return panel >= 1 && panel <= Count; }
    std::array<QString, Count> m_texts{QString(), QStringLiteral("Traffic"), QString()};
};

} // namespace telvaro
