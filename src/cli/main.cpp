#include "cli/command.h"

#include <QCoreApplication>
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
    QCoreApplication app(argc, argv);
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
