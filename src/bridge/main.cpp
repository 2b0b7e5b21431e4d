// telvaro-bridge: the signs of the registry on an MQTT broker. Commands come
// in, operations run through telvaro-cli, outcomes and status go out.
#include "base/stopsignals.h"
#include "bridge/bridge.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>

using namespace telvaro;
using namespace telvaro::bridge;

namespace {

// The command line beside this program, unless the environment names one.
QString CliPath()
{
    const QString given = qEnvironmentVariable("TELVARO_CLI");
    return given.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/telvaro-cli") : given;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("telvaro-bridge"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TELVARO_VERSION_TEXT));
    const auto read = ReadOptions(QCoreApplication::arguments());
    if (const auto *problem = std::get_if<QString>(&read)) {
        std::fprintf(stderr, "telvaro-bridge: %s\nRun \"telvaro-bridge --help\" for the options.\n",
                     qPrintable(*problem));
        return 2;
    }
    const OptionsRequest &request = std::get<OptionsRequest>(read);
    if (request.kind == OptionsRequest::Kind::Help) {
        std::fputs(qPrintable(request.helpText), stdout);
        return 0;
    }
    if (request.kind == OptionsRequest::Kind::Version) {
        std::puts("telvaro-bridge " TELVARO_VERSION_TEXT);
        return 0;
    }
    if (!QFileInfo(CliPath()).isExecutable()) {
        std::fprintf(stderr, "telvaro-bridge: %s cannot be run\n", qPrintable(CliPath()));
        return 1;
    }
    Bridge bridge(request.options, CliPath());
    StopSignals stops;
    QObject::connect(&stops, &StopSignals::stopRequested, &bridge, &Bridge::stop);
    QObject::connect(&bridge, &Bridge::finished, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    if (const auto problem = bridge.start()) {
        std::fprintf(stderr, "telvaro-bridge: %s\n", qPrintable(*problem));
        return 1;
    }
    return app.exec();
}
