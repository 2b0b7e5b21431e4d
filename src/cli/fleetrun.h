#pragma once
// fleet load: the signs of the registry loaded by child processes of this
// program (one operation each, so that no two devices' waits share an
// event loop), at most N at once, signs on one serial device one after
// another in registry order, a failed sign tried again after a pause, and
// the report saved as each sign ends.

#include "fleet/registry.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonObject>
#include <QObject>
#include <QProcess>
#include <QTimer>
#include <optional>

namespace telvaro::cli {

struct FleetOptions {
    QString registry;
    int parallel = 8;
    int retries = 0;
    double retryPauseSeconds = 30;
    QString tag;
    QStringList names;
    QString report;
    QString transcripts;
    // --only-failed: the report whose signs that did not end done are
    // loaded again; its done signs are carried into the new report.
    std::optional<QJsonObject> previous;
    bool progress = false;
};

struct FleetSign {
    enum class State { Pending, Running, Pausing, Ended };
    QString name;
    std::optional<SignEntry> entry; // none when its file is refused
    QJsonObject outcome;            // the last attempt's, or the refusal
    State state = State::Pending;
    int attempts = 0;
    std::optional<double> plannedSeconds;
    QProcess *process = nullptr;
    QByteArray out;
    QStringList errorLines;
    QElapsedTimer since;
    QString startedAt;
};

// The signs a fleet load takes, in registry order; a file that cannot be
// read is kept (its tags are not known), ended as refused with its reason.
// The message when there is nothing to take.
std::variant<QList<FleetSign>, QString> SelectSigns(const FleetOptions &options);

class FleetRun : public QObject {
    Q_OBJECT
public:
    FleetRun(FleetOptions options, QList<FleetSign> signs, QObject *parent = nullptr);
    // Runs until every sign has ended; the exit status: 0 when every sign
    // ended done, 128 + N after stop signal N, otherwise 1.
    int exec();

private:
    void pump();
    bool lineFree(qsizetype index) const;
    void start(qsizetype index);
    void finished(qsizetype index, int exitCode, QProcess::ExitStatus status);
    void stop(int signalNumber);
    void saveReport();
    QJsonObject report() const;
    bool allEnded() const;
    void tell(const QString &line);
    void drawProgress();

    FleetOptions m_options;
    QList<FleetSign> m_signs;
    QString m_started;
    int m_stopSignal = 0;
    bool m_reportFailed = false;
    QTimer m_progressTimer;
    QTimer m_saveSoon;
    QEventLoop *m_loop = nullptr;
};

} // namespace telvaro::cli
