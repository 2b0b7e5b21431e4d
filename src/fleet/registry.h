#pragma once
// The registry of signs: one NAME.conf per sign, one key=value a line and
// "#" comments, the keys named as the command line's long options. It is
// the one inventory that --sign, the fleet command, the units and the
// bridge read, so a file is checked whole before anything is sent.

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <variant>

namespace telvaro {

struct SignEntry {
    QString name;                  // NAME of NAME.conf
    QString file;                  // its path
    QMap<QString, QString> values; // every key=value as written

    // The telvaro-cli options the file stands for, e.g. {"--port", "-1",
    // "--ip", "10.0.0.7", "--ip-port", "3001", "--address", "07"}; the
    // table is not among them.
    QStringList linkArguments() const;
    // "load-sign", or "load-controller" when input= is given.
    QString operation() const;
    // table=, made absolute against the registry folder.
    QString table() const;
    QStringList tags() const;
    bool verify() const;
    // The serial device the sign is wired to, canonical so that two names
    // of one device are one line; empty for TCP and UDP.
    QString lineKey() const;
};

struct RegistryError {
    QString file;
    int line = 0;
    QString reason;
    // "PATH:LINE: reason", or "PATH: reason" for the file as a whole.
    QString text() const;
};

QString DefaultRegistryDir();

// One sign; an error for a missing, malformed or incomplete file.
std::variant<SignEntry, RegistryError> ReadSign(const QString &dir, const QString &name);
// Every NAME.conf of the folder, sorted by name; editor backups and hidden
// files are not signs.
QList<std::variant<SignEntry, RegistryError>> ReadRegistry(const QString &dir);

} // namespace telvaro
