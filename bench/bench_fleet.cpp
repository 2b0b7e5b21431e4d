// A fleet of simulated signs: SIGNS sign loads over loopback UDP with
// fleet load --parallel N, against as many loads of one sign in a row as
// the fleet has waves of N (four for 200 signs at 50), the peak resident memory of
// the fleet process, and whether the report lists every sign done. The
// protocol waits run SCALE times faster (TELVARO_TIME_SCALE); the simulated
// signs share a few simulator processes.
// Usage: bench_fleet [signs] [parallel] [scale] (default 200 50 10).
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int simulators = 8;

QProcessEnvironment Environment(const QString &home, const QString &scale)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TELVARO_TIME_SCALE"), scale);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home);
    env.insert(QStringLiteral("XDG_STATE_HOME"), home);
    return env;
}

// The peak resident memory of a running process, in MiB.
double PeakMiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    return 0;
}

// Runs the command line to its end; its wall time in seconds, the peak
// memory sampled while it ran, its exit status.
struct Ran {
    double seconds = 0;
    double peakMiB = 0;
    int status = -1;
};
Ran RunCli(const QStringList &args, const QProcessEnvironment &env)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    p.start(QString::fromUtf8(TELVARO_CLI_PATH), args);
    Ran ran;
    while (!p.waitForFinished(20))
        ran.peakMiB = qMax(ran.peakMiB, PeakMiB(p.processId()));
    ran.seconds = clock.elapsed() / 1000.0;
    ran.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return ran;
}

QString AddressOf(int i)
{
    static const char digits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    return QString(QLatin1Char(digits[i / 36 % 36])) + QLatin1Char(digits[i % 36]);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int signs = argc > 1 ? qBound(1, std::atoi(argv[1]), 1296) : 200;
    const int parallel = argc > 2 ? qBound(1, std::atoi(argv[2]), 1000) : 50;
    const QString scale = argc > 3 ? QString::fromLatin1(argv[3]) : QStringLiteral("10");
    QTemporaryDir dir;
    const QString registry = dir.filePath(QStringLiteral("signs"));
    QDir().mkpath(registry);
    QFile table(QDir(registry).filePath(QStringLiteral("t.TVD")));
    if (!table.open(QIODevice::WriteOnly) || !table.write("10,0,\"A\",\"\"\r\n10,1,\"B\",\"\"\r\n"))
        return 1;
    table.close();

    std::vector<std::unique_ptr<QProcess>> devices;
    QStringList ports;
    for (int i = 0; i < simulators; ++i) {
        auto &device = devices.emplace_back(std::make_unique<QProcess>());
        device->start(QString::fromUtf8(TELVARO_DEVSIM_PATH),
                      {QStringLiteral("--role"), QStringLiteral("sign"), QStringLiteral("--udp"), QStringLiteral("0")});
        while (!device->canReadLine() && device->waitForReadyRead(5000)) {
        }
        ports << QString::fromUtf8(device->readLine()).trimmed().section(u':', -1);
        // What the simulator logs is not needed.
        device->setStandardOutputFile(QProcess::nullDevice());
    }
    for (int i = 0; i < signs; ++i) {
        QFile conf(QDir(registry).filePath(QStringLiteral("s%1.conf").arg(i, 4, 10, QLatin1Char('0'))));
        const QString text = QStringLiteral("port=-1\nip=127.0.0.1\nip-port=%1\naddress=%2\ntable=t.TVD\n")
                                 .arg(ports[i % simulators], AddressOf(i));
        if (!conf.open(QIODevice::WriteOnly) || !conf.write(text.toUtf8()))
            return 1;
    }
    const QProcessEnvironment env = Environment(dir.path(), scale);

    // A fleet of W waves of N takes at least W loads of one sign in a row.
    const int waves = (signs + parallel - 1) / parallel;
    double inARow = 0;
    for (int i = 0; i < waves; ++i)
        inARow += RunCli({QStringLiteral("load-sign"), QStringLiteral("--sign"), QStringLiteral("s0000"),
                          QStringLiteral("--registry"), registry, QStringLiteral("--quiet")},
                         env)
                      .seconds;
    const QString report = dir.filePath(QStringLiteral("report.json"));
    const Ran fleet = RunCli({QStringLiteral("fleet"), QStringLiteral("load"), QStringLiteral("--registry"), registry,
                              QStringLiteral("--parallel"), QString::number(parallel), QStringLiteral("--quiet"),
                              QStringLiteral("--report"), report},
                             env);
    for (auto &device : devices) {
        device->terminate();
        device->waitForFinished(5000);
    }
    QFile file(report);
    int done = 0, listed = 0;
    if (file.open(QIODevice::ReadOnly))
        for (const QJsonValue &v :
             QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("signs")).toArray()) {
            ++listed;
            done += v.toObject().value(QStringLiteral("status")).toString() == QLatin1String("done");
        }
    std::printf("fleet of %d signs, --parallel %d, time scale %s, %d simulators\n", signs, parallel, qPrintable(scale),
                simulators);
    std::printf("%4d loads of one sign in a row    %8.3f s\n", waves, inARow);
    std::printf("fleet load                        %8.3f s  (%.2f x the loads in a row; target 1.2 x)\n", fleet.seconds,
                fleet.seconds / inARow);
    std::printf("fleet peak resident memory        %8.1f MiB\n", fleet.peakMiB);
    std::printf("report: %d signs listed, %d done; fleet exit status %d\n", listed, done, fleet.status);
    return done == signs && listed == signs && fleet.status == 0 ? 0 : 1;
}
