#include "gui/frmsplash.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>

namespace telvaro {

namespace {
// A neutral logo: a small grid of lit dots, like a message sign.
QPixmap signLogo()
{
    QPixmap pixmap(96, 48);
    pixmap.fill(QColor(20, 20, 20));
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    for (int row = 0; row < 5; ++row)
        for (int column = 0; column < 11; ++column) {
            const bool lit = (row + column) % 3 != 0;
            painter.setBrush(lit ? QColor(255, 170, 0) : QColor(70, 50, 20));
            painter.drawEllipse(QPointF(6 + column * 8.4, 6 + row * 9), 3, 3);
        }
    return pixmap;
}
} // namespace

QString frmSplash::VersionLine()
{
    return QStringLiteral("TelvaroVersion %1.%2.%3")
        .arg(TELVARO_VERSION_MAJOR)
        .arg(TELVARO_VERSION_MINOR)
        .arg(TELVARO_VERSION_PATCH);
}

frmSplash::frmSplash(QWidget *parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmSplash"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto *frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("fraMainFrame"));
    frame->setFrameShape(QFrame::Box);

    auto *picLogo = new QLabel(frame);
    picLogo->setObjectName(QStringLiteral("picLogo"));
    picLogo->setPixmap(signLogo());

    m_lblProductName = new QLabel(VersionLine(), frame);
    m_lblProductName->setObjectName(QStringLiteral("lblProductName"));
    QFont big = m_lblProductName->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    m_lblProductName->setFont(big);

    auto *lblCompany = new QLabel(QStringLiteral("Message sign and controller loader"), frame);
    lblCompany->setObjectName(QStringLiteral("lblCompany"));

    auto *text = new QVBoxLayout;
    text->addWidget(m_lblProductName);
    text->addWidget(lblCompany);
    auto *inner = new QHBoxLayout(frame);
    inner->setContentsMargins(18, 18, 18, 18);
    inner->setSpacing(18);
    inner->addWidget(picLogo);
    inner->addLayout(text);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 6, 6, 6);
    outer->addWidget(frame);
}

QString frmSplash::productLine() const
{
    return m_lblProductName->text();
}

} // namespace telvaro
