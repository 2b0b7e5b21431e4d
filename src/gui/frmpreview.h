#pragma once
// "&Preview...": every frame "&Run", "&Load Sign" or "&Load Controller"
// would send with the table on screen and the link settings in force, with
// its planned start and step, and when the operation would end; or the
// refusal it would give. It stays open beside the main window and follows
// the table, the registers, the link settings and the mode.

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTableView;
class QTimer;

namespace telvaro {

class PlanPreview;
class Workspace;
struct PlanRequest;

class FrmPreview : public QWidget {
    Q_OBJECT
public:
    FrmPreview(Workspace &workspace, QWidget *owner);

    // The owner's preview, opened beside it or brought to the front.
    static FrmPreview *ShowFor(Workspace &workspace, QWidget *owner);

    const PlanPreview &preview() const { return *m_preview; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void followWorkspace();
    void replanSoon();
    void replan();
    PlanRequest request() const;

    Workspace &m_ws;
    PlanPreview *m_preview = nullptr;
    QTimer *m_replan = nullptr;
    QLabel *m_what = nullptr;
    QWidget *m_signOptions = nullptr;
    QComboBox *m_signType = nullptr;
    QLineEdit *m_address = nullptr;
    QCheckBox *m_serialInput = nullptr;
    QTableView *m_frames = nullptr;
    QLabel *m_refusal = nullptr;
    QLabel *m_total = nullptr;
    bool m_placed = false;
};

} // namespace telvaro
