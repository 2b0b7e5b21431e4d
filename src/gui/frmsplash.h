#pragma once

#include <QWidget>

class QLabel;

namespace telvaro {

// The start-up and About window: product name with its version line.
class frmSplash : public QWidget {
    Q_OBJECT
public:
    explicit frmSplash(QWidget *parent = nullptr);
    QString productLine() const;

    static QString VersionLine();

private:
    QLabel *m_lblProductName = nullptr;
};

} // namespace telvaro
