#include "cli/commands.h"

#include <QCoreApplication>
#include <QTextStream>
#include <functional>

namespace telvaro::cli {

void PrintMessage(const QString &text)
{
    QTextStream err(stderr);
    // Message texts break lines with CR LF; each becomes a line of its own.
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    for (const QString &line : lines)
        err << line << '\n';
}

int UsageError(const QString &text)
{
    QTextStream(stderr) << text << '\n';
    return ExitUsage;
}

} // namespace telvaro::cli

int main(int argc, char *argv[])
{
    using namespace telvaro::cli;
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Telvaro"));
    QCoreApplication::setOrganizationName(QStringLiteral("Telvaro"));

    const QHash<QString, std::function<int(const QStringList &)>> commands = {
        {QStringLiteral("encode"), Encode},   {QStringLiteral("decode"), Decode}, {QStringLiteral("list"), List},
        {QStringLiteral("convert"), Convert}, {QStringLiteral("send"), Send},     {QStringLiteral("run"), Run},
    };
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty() || !commands.contains(args.front())) {
        QStringList names = commands.keys();
        names.sort();
        return UsageError(QStringLiteral("usage: telvaro-cli COMMAND [ARGS]\ncommands: ") + names.join(u' '));
    }
    const QString name = args.takeFirst();
    return commands.value(name)(args);
}
