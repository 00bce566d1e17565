#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace plovex {

// Runs the system's helper programs (gsettings, xfconf-query, ...). Back ends
// take one so that tests can answer with a script instead.
class CommandRunner {
public:
    struct Result {
        bool started = false; // false: the program could not be run at all
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
        bool ok() const { return started && exitCode == 0; }
    };

    virtual ~CommandRunner() = default;
    // The full path of program found on PATH; empty when it is not there.
    virtual QString findProgram(const QString& program) = 0;
    // Runs program with args and waits for it (a stuck program is stopped
    // after a while and counts as failed).
    virtual Result run(const QString& program, const QStringList& args) = 0;
    // Starts program with args without waiting; false when it cannot start.
    virtual bool startDetached(const QString& program, const QStringList& args) = 0;
};

// Runs the real programs through QProcess.
CommandRunner& SystemCommands();

} // namespace plovex
