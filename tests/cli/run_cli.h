#pragma once

// Runs the built plovex-cli as a user runs it, for the suites that check
// its commands from outside.

#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace plovex::test {

struct CliRun {
    int exitCode = -1;   // -1 when the program did not end normally
    QString err;
    QByteArray out;
    QString outText() const { return QString::fromUtf8(out); }
};

// A positive `fileSizeLimit` caps the size of any file the program writes
// (the system's own limit, as on a full disk); writes past it fail instead
// of ending the program.
inline CliRun RunCli(const QStringList& args, qint64 fileSizeLimit = 0)
{
    QProcess p;
    if (fileSizeLimit > 0)
        p.setChildProcessModifier([fileSizeLimit] {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{rlim_t(fileSizeLimit), rlim_t(fileSizeLimit)};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
    p.start(QStringLiteral(PLOVEX_CLI_PATH), args);
    EXPECT_TRUE(p.waitForFinished(120000));
    CliRun r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.err = QString::fromUtf8(p.readAllStandardError());
    r.out = p.readAllStandardOutput();
    return r;
}

} // namespace plovex::test
