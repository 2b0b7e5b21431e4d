#pragma once
// The command-line front end's commands. Each takes the arguments after its
// name and returns the exit status: 0 done, 1 failed (message printed),
// 2 usage error.

#include <QStringList>

namespace telvaro {
class Workspace;
}

namespace telvaro::cli {

constexpr int ExitDone = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;

int Encode(const QStringList &args);
int Decode(const QStringList &args);
int List(const QStringList &args);
int Convert(const QStringList &args);
int Send(const QStringList &args);
int Run(const QStringList &args);
int LoadSign(const QStringList &args);
int CallMessage(const QStringList &args);
int ClearList(const QStringList &args);
int LoadController(const QStringList &args);
int Upload(const QStringList &args);
int Ports(const QStringList &args);
int Fleet(const QStringList &args);

// Saves the workspace's table as name (and its companion in Controller Load
// mode); the exit status, with a hint when a warning was answered Cancel.
int SaveStatus(Workspace &ws, const QString &name);

} // namespace telvaro::cli
