#include "platform/commands.h"

#include <QProcess>
#include <QStandardPaths>

namespace plovex {

namespace {

class ProcessRunner final : public CommandRunner {
public:
    QString findProgram(const QString& program) override
    {
        return QStandardPaths::findExecutable(program);
    }

    Result run(const QString& program, const QStringList& args) override
    {
        Result result;
        QProcess process;
        process.start(program, args, QIODevice::ReadOnly);
        if (!process.waitForStarted(10000))
            return result;
        result.started = true;
        if (!process.waitForFinished(20000)) {
            process.kill();
            process.waitForFinished(2000);
            return result;
        }
        result.out = process.readAllStandardOutput();
        result.err = process.readAllStandardError();
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        return result;
    }

    bool startDetached(const QString& program, const QStringList& args) override
    {
        return QProcess::startDetached(program, args);
    }
};

} // namespace

CommandRunner& SystemCommands()
{
    static ProcessRunner runner;
    return runner;
}

} // namespace plovex
