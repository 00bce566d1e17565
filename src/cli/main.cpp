#include "cli/command.h"

#include <QGuiApplication>
#include <cstdio>
#include <map>
#include <string>

namespace plovex::cli {

namespace {
struct Entry {
    std::string usage;
    Command::Run run;
};
std::map<std::string, Entry>& registry()
{
    static std::map<std::string, Entry> commands;
    return commands;
}

int usage()
{
    std::fprintf(stderr, "usage: plovex-cli COMMAND [ARGS...]\n");
    for (const auto& [name, entry] : registry())
        std::fprintf(stderr, "  %s\n", entry.usage.c_str());
    return 2;
}
} // namespace

Command::Command(const char* name, const char* usage, Run run)
{
    registry()[name] = Entry{usage, std::move(run)};
}

int fail(const QString& message)
{
    std::fprintf(stderr, "plovex-cli: %s\n", message.toUtf8().constData());
    return 1;
}

} // namespace plovex::cli

int main(int argc, char** argv)
{
    // Pictures need the desktop's fonts, which need a GUI application; it
    // runs without a display unless one is asked for.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Standard error carries the commands' own one-line messages; Qt's
    // notes about the environment (no runtime folder, and the like) are
    // shown only when PLOVEX_CLI_QT_MESSAGES is set.
    if (!qEnvironmentVariableIsSet("PLOVEX_CLI_QT_MESSAGES"))
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
            if (type == QtCriticalMsg || type == QtFatalMsg)
                std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        });
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return plovex::cli::usage();
    const auto it = plovex::cli::registry().find(args.front().toStdString());
    if (it == plovex::cli::registry().end())
        return plovex::cli::usage();
    args.removeFirst();
    try {
        return it->second.run(args);
    } catch (const std::exception& e) {
        return plovex::cli::fail(QString::fromUtf8(e.what()));
    }
}
