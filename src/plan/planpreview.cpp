#include "plan/planpreview.h"

#include "app/workspace.h"
#include "codec/codepage.h"
#include "codec/escapes.h"
#include "plan/planprompter.h"
#include "plan/stepplan.h"

namespace telvaro {

PlannedOperation PlanPreview::OperationFor(OperatingMode mode)
{
    switch (mode) {
    case OperatingMode::SignLoad: return PlannedOperation::SignLoad;
    case OperatingMode::ControllerLoad: return PlannedOperation::ControllerLoad;
    case OperatingMode::Test: break;
    }
    return PlannedOperation::Run;
}

void PlanPreview::refresh(const Workspace &ws, const PlanRequest &request)
{
    beginResetModel();
    m_operation = request.operation;
    m_frames.clear();
    m_refusal.clear();
    m_repeats = false;
    PlanPrompter prompter;
    int lastMessage = -1;
    const PlanEnding ending = PlanOperation(ws, request, prompter, [&](const PlannedFrame &frame) {
        // A run that repeats goes on until it is stopped: one pass shows it.
        const int message = frame.step.toInt();
        if (request.operation == PlannedOperation::Run && message < lastMessage) {
            m_repeats = true;
            m_total = frame.offset;
            return false;
        }
        lastMessage = message;
        m_frames.append(frame);
        return true;
    });
    if (!m_repeats)
        m_total = ending.total;
    if (!m_repeats && !ending.outcome.complete()) {
        QStringList lines = prompter.messages();
        if (lines.isEmpty() || !ending.outcome.told)
            lines << OutcomeDetails(ending.outcome);
        m_refusal = lines.join(QStringLiteral("\r\n"));
        m_frames.clear();
    }
    endResetModel();
    Q_EMIT refreshed();
}

QString PlanPreview::StartText(double offset)
{
    return QString::number(offset, 'f', 3);
}

QString PlanPreview::totalText() const
{
    const QString ends = QStringLiteral("Ends after %1 s (%2)").arg(StartText(m_total), DurationText(m_total));
    if (!m_repeats)
        return ends;
    return QStringLiteral("Repeats after %1 s (%2) until Data Entry ends it")
        .arg(StartText(m_total), DurationText(m_total));
}

int PlanPreview::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_frames.size());
}

int PlanPreview::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant PlanPreview::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_frames.size())
        return {};
    const PlannedFrame &frame = m_frames.at(index.row());
    switch (index.column()) {
    case ColStart: return StartText(frame.offset);
    case ColStep: return frame.label;
    case ColFrame: return BytesToText(FormatReceived(frame.bytes));
    default: return {};
    }
}

QVariant PlanPreview::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    switch (section) {
    case ColStart: return QStringLiteral("Start (s)");
    case ColStep: return QStringLiteral("Step");
    case ColFrame: return QStringLiteral("Frame");
    default: return {};
    }
}

} // namespace telvaro
