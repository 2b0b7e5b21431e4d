#include "programs.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>

namespace telvaro::test {

QProcessEnvironment EnvironmentWith(const QStringList &env)
{
    QProcessEnvironment all = QProcessEnvironment::systemEnvironment();
    for (const QString &pair : env)
        all.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1));
    return all;
}

ProgramResult RunProgram(const QString &program, const QStringList &args, const QStringList &env)
{
    QProcess p;
    p.setProcessEnvironment(EnvironmentWith(env));
    p.start(program, args);
    if (!p.waitForStarted(5000))
        return {};
    p.closeWriteChannel();
    QEventLoop loop;
    QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
    // Sanitizer builds run several times slower (CTest says how much).
    const int scale = qMax(1, qEnvironmentVariableIntValue("TELVARO_TIMEOUT_SCALE"));
    QTimer::singleShot(5000 * scale, &loop, &QEventLoop::quit);
    if (p.state() != QProcess::NotRunning)
        loop.exec();
    const bool ended = p.state() == QProcess::NotRunning;
    if (!ended) {
        p.kill();
        p.waitForFinished(5000);
    }
    const int status = ended && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return {status, p.readAllStandardOutput(), WithoutScaleLine(p.readAllStandardError())};
}

QByteArray WithoutScaleLine(const QByteArray &err)
{
    QByteArrayList lines = err.split('\n');
    lines.removeIf([](const QByteArray &line) { return line.startsWith("telvaro-cli: TELVARO_TIME_SCALE="); });
    return lines.join('\n');
}

QByteArray Outcome(const ProgramResult &r)
{
    return QByteArray::number(r.status) + " [" + r.err + "] " + r.out;
}

ProgramResult RunShell(const QString &line, const QStringList &env)
{
    const QString path = QFileInfo(CliPath()).path() + u':' + qEnvironmentVariable("PATH");
    return RunProgram(QStringLiteral("bash"), {QStringLiteral("-c"), line}, env + QStringList{"PATH=" + path});
}

QString StartDevice(QProcess &p, const QStringList &args)
{
    p.start(DevsimPath(), args);
    while (!p.canReadLine() && p.waitForReadyRead(5000)) {
    }
    return QString::fromUtf8(p.readLine()).trimmed();
}

QStringList StopDevice(QProcess &p, bool withTimes)
{
    p.terminate();
    if (!p.waitForFinished(5000))
        p.kill();
    static const QRegularExpression stamp(QStringLiteral("^\\d+\\.\\d{3} "));
    QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    if (!withTimes)
        for (QString &line : lines)
            line.remove(stamp);
    return lines;
}

QStringList Understood(const QStringList &log)
{
    static const QRegularExpression understood(QStringLiteral("^understood (\\+\\d+\\.\\d{3} )?(.*)$"));
    QStringList lines;
    for (const QString &line : log)
        if (const QRegularExpressionMatch m = understood.match(line); m.hasMatch())
            lines << m.captured(2);
    return lines;
}

} // namespace telvaro::test
