#include "cli/commands.h"
#include "codec/codepage.h"
#include "codec/escapes.h"

#include <QFile>
#include <cstdio>

namespace telvaro::cli {

int Encode(const QStringList &args)
{
    QStringList rest = args;
    const bool hex = rest.removeAll(QStringLiteral("--hex")) > 0;
    if (rest.size() != 1)
        return UsageError(QStringLiteral("usage: telvaro-cli encode [--hex] TEXT"));
    const auto bytes = ParseEscapes(TextToBytes(rest.front()));
    if (!bytes) {
        PrintMessage(QStringLiteral("An escape in the text has a value outside 0 to 255."));
        return ExitFailed;
    }
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly))
        return ExitFailed;
    if (hex) {
        QByteArray text = bytes->toHex(' ').toUpper();
        text += '\n';
        out.write(text);
    } else {
        out.write(*bytes);
    }
    return ExitDone;
}

int Decode(const QStringList &args)
{
    if (!args.isEmpty())
        return UsageError(QStringLiteral("usage: telvaro-cli decode < BYTES"));
    QFile in;
    QFile out;
    if (!in.open(stdin, QIODevice::ReadOnly) || !out.open(stdout, QIODevice::WriteOnly))
        return ExitFailed;
    out.write(FormatReceived(in.readAll()));
    return ExitDone;
}

} // namespace telvaro::cli
