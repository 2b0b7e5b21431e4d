#include "cli/commandline.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "codec/codepage.h"
#include "codec/escapes.h"

#include <QFile>

namespace telvaro::cli {

int Encode(const QStringList &args)
{
    CommandLine line(QStringLiteral("encode"),
                     QStringLiteral("Writes the bytes that TEXT in escape notation stands for to stdout."));
    line.addOption({QStringLiteral("hex")},
                   QStringLiteral("Writes the bytes as upper-case hexadecimal pairs separated by blanks, then a "
                                  "newline."),
                   QStringLiteral("--hex"));
    line.addPositional(QStringLiteral("TEXT"), QStringLiteral("Text in escape notation: <0x02>, <&H1B>, <0065>."));
    line.addExample(QStringLiteral("telvaro-cli encode --hex '<0x02>AB<&H03>'"), QStringLiteral("prints 02 41 42 03"));
    line.addExample(QStringLiteral("telvaro-cli encode '<0x02>HELLO<0x03>' > frame.bin"));
    if (const auto status = line.parse(args))
        return *status;
    const QStringList texts = line.positionals();
    if (texts.size() != 1)
        return line.usageError(QStringLiteral("expects one TEXT, not %1 arguments").arg(texts.size()));
    const auto bytes = ParseEscapes(TextToBytes(texts.front()));
    if (!bytes) {
        PrintMessage(QStringLiteral("An escape in the text has a value outside 0 to 255."));
        return ExitFailed;
    }
    if (const QString warning = CodePageWarning(texts.front()); !warning.isEmpty())
        PrintMessage(warning);
    const QByteArray out = line.isSet(QStringLiteral("hex")) ? bytes->toHex(' ').toUpper() + '\n' : *bytes;
    return WriteOut(out) ? ExitDone : ExitFailed;
}

int Decode(const QStringList &args)
{
    CommandLine line(QStringLiteral("decode"),
                     QStringLiteral("Reads bytes from stdin and writes them in the notation of received data: bytes "
                                    "32 to 125 as they are, the rest as <0xHH>."));
    line.addExample(QStringLiteral("printf '\\002Hi\\003' | telvaro-cli decode"),
                    QStringLiteral("prints <0x02>Hi<0x03>"));
    if (const auto status = line.parse(args))
        return *status;
    if (!line.positionals().isEmpty())
        return line.usageError(QStringLiteral("takes no arguments; the bytes come on stdin"));
    if (InputClosed()) {
        PrintError(QStringLiteral("telvaro-cli: cannot read the input: standard input is closed"));
        return ExitFailed;
    }
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        return ExitFailed;
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError) {
        PrintError(QStringLiteral("telvaro-cli: cannot read the input: ") + in.errorString());
        return ExitFailed;
    }
    return WriteOut(FormatReceived(bytes)) ? ExitDone : ExitFailed;
}

} // namespace telvaro::cli
