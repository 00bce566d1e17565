#pragma once

#include <QStringList>
#include <functional>

namespace plovex::cli {

// A subcommand of plovex-cli. Each source file of this folder registers
// its own commands with a static Command object. A command returns the
// process exit code; it prints a one-line message on standard error when
// it fails.
struct Command {
    using Run = std::function<int(const QStringList& args)>;
    Command(const char* name, const char* usage, Run run);
};

// Prints "plovex-cli: " + message on standard error and returns 1.
int fail(const QString& message);

} // namespace plovex::cli
