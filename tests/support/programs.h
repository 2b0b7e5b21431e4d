#pragma once
// telvaro-cli and telvaro-devsim as processes, each with a watchdog: a
// program that does not end in time is killed and the test fails on what
// it misses.

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

// env: variables added to the test's environment ("NAME=value"). The test's
// events go on while the program runs, so in-process peers answer it.
ProgramResult RunCli(const QStringList &args, const QStringList &env = {}, const QByteArray &input = {},
                     int timeoutMs = 10000);
ProgramResult RunProgram(const QString &program, const QStringList &args, const QStringList &env = {},
                         const QByteArray &input = {}, int timeoutMs = 10000);
QString CliPath();
QString DevsimPath();
QProcessEnvironment EnvironmentWith(const QStringList &env);

// Starts the simulator and returns the line it announces itself with.
QString StartDevice(QProcess &p, const QStringList &args);
// Ends it as an operator does (SIGTERM) and returns its log lines, without
// their time stamps unless asked for.
QStringList StopDevice(QProcess &p, bool withTimes = false);

} // namespace telvaro::test
