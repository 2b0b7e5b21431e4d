#pragma once
// telvaro-cli and telvaro-devsim as processes, each with a watchdog: a
// program that does not end in time is killed and the test fails on what
// it misses. The test's events go on while a program runs, so in-process
// peers answer it.

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

namespace telvaro::test {

struct ProgramResult {
    int status = -1; // -1: did not start, crashed or ran out of time
    QByteArray out;
    QByteArray err;
};

inline QString CliPath()
{
    return qEnvironmentVariable("TELVARO_CLI");
}
inline QString DevsimPath()
{
    return qEnvironmentVariable("TELVARO_DEVSIM");
}
// The test's environment with variables added ("NAME=value").
QProcessEnvironment EnvironmentWith(const QStringList &env);
// Runs a program to its end, or kills it after 5 s.
ProgramResult RunProgram(const QString &program, const QStringList &args, const QStringList &env = {});
inline ProgramResult RunCli(const QStringList &args)
{
    return RunProgram(CliPath(), args);
}
// Runs a command line with bash, the programs under test first on the PATH.
ProgramResult RunShell(const QString &line, const QStringList &env = {});
// "STATUS [STDERR] STDOUT" of one run.
QByteArray Outcome(const ProgramResult &r);
// A program's stderr without the line a test build says the test clock with at every start.
QByteArray WithoutScaleLine(const QByteArray &err);

// Starts the simulator and returns the line it announces itself with.
QString StartDevice(QProcess &p, const QStringList &args);
// Ends it as an operator does (SIGTERM) and returns its log lines, without
// their time stamps unless asked for.
QStringList StopDevice(QProcess &p, bool withTimes = false);
// What a simulated device understood, in order, without the seconds since the frame before.
QStringList Understood(const QStringList &log);

} // namespace telvaro::test
