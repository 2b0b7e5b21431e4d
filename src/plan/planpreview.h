#pragma once
// What "&Run", "&Load Sign" or "&Load Controller" would send with the
// table on screen and the link settings in force, as a table: each frame's
// planned start, its step and the frame in escape notation, and the total;
// or the refusal the operation would give instead. The texts of a row are
// made only when a view asks for them, so a 32,766-message plan holds its
// frames and nothing more.

#include "base/mode.h"
#include "plan/plan.h"

#include <QAbstractTableModel>
#include <QStringList>

namespace telvaro {

class PlanPreview : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ColStart = 0, ColStep = 1, ColFrame = 2, ColumnCount = 3 };

    using QAbstractTableModel::QAbstractTableModel;

    // The operation the window's mode offers: a run, a sign load or a
    // controller load.
    static PlannedOperation OperationFor(OperatingMode mode);
    // Plans request for ws anew. Nothing is opened or sent, and nothing of
    // ws changes.
    void refresh(const Workspace &ws, const PlanRequest &request);

    PlannedOperation operation() const { return m_operation; }
    const QList<PlannedFrame> &frames() const { return m_frames; }
    double total() const { return m_total; }
    // The operation's message where it would refuse or fail: empty when the
    // plan runs to its end.
    QString refusal() const { return m_refusal; }
    // A run that repeats: the plan holds one pass, to the first repeated
    // message.
    bool repeats() const { return m_repeats; }
    // "Ends after 25.000 s (25.0 s)" and what follows where the run repeats.
    QString totalText() const;

    // "19.000": seconds from the start, as a dry run prints them.
    static QString StartText(double offset);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

Q_SIGNALS:
    // A new plan is in place.
    void refreshed();

private:
    PlannedOperation m_operation = PlannedOperation::Run;
    QList<PlannedFrame> m_frames;
    double m_total = 0;
    QString m_refusal;
    bool m_repeats = false;
};

} // namespace telvaro
