#include "platform/safefile.h"

#include "platform/errors.h"

#include <QFile>
#include <QRandomGenerator>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plovex {

namespace {

std::atomic<qint64> writeLimit{-1};

QString reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The file to replace: the final target when `path` is a symbolic link to
// an existing file, else `path` itself.
QByteArray targetOf(const QByteArray& path)
{
    struct stat st;
    if (::lstat(path.constData(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.constData(), resolved))
            return QByteArray(resolved);
    }
    return path;
}

bool writeAll(int fd, const char* data, qint64 size, qint64 limit)
{
    qint64 done = 0;
    while (done < size) {
        qint64 chunk = std::min<qint64>(size - done, 1 << 20);
        if (limit >= 0) {
            if (done >= limit) {
                errno = ENOSPC;
                return false;
            }
            chunk = std::min(chunk, limit - done);
        }
        const ssize_t n = ::write(fd, data + done, size_t(chunk));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += n;
    }
    return true;
}

} // namespace

bool IsSameFile(const QString& a, const QString& b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    struct stat sa {}, sb {};
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 && ::stat(QFile::encodeName(b).constData(), &sb) == 0
        && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

void RefuseWritingOverSource(const QString& source, const QString& target)
{
    if (IsSameFile(source, target))
        throw PlovexError(QStringLiteral("Cannot create file \"%1\". The file is the movie being read.").arg(target));
}

void SetWriteLimitForTesting(qint64 bytes)
{
    writeLimit = bytes;
}

QString ReplaceFileContents(const QString& path, const QByteArray& bytes)
{
    const QByteArray target = targetOf(QFile::encodeName(path));
    struct stat old;
    if (::stat(target.constData(), &old) == 0 && !S_ISREG(old.st_mode) && !S_ISDIR(old.st_mode)) {
        // A device or a pipe (/dev/stdout, a FIFO) is written to, never
        // replaced.
        const int fd = ::open(target.constData(), O_WRONLY | O_CLOEXEC);
        if (fd < 0)
            return reason(errno);
        const bool written = writeAll(fd, bytes.constData(), bytes.size(), writeLimit.load());
        const int error = errno;
        ::close(fd);
        return written ? QString() : reason(error);
    }
    ReplacementFile file;
    if (QString error = file.open(path); !error.isEmpty())
        return error;
    if (!file.write(bytes.constData(), bytes.size())) {
        const QString error = file.error();
        file.abandon();
        return error;
    }
    return file.commit();
}

ReplacementFile::~ReplacementFile()
{
    abandon();
}

QString ReplacementFile::open(const QString& path)
{
    abandon();
    error_.clear();
    position_ = written_ = 0;
    const QByteArray target = targetOf(QFile::encodeName(path));
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : target.left(slash);
    const QByteArray base = slash < 0 ? target : target.mid(slash + 1);
    if (base.isEmpty())
        return reason(EISDIR);

    struct stat old;
    const bool exists = ::stat(target.constData(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode))
        return reason(EISDIR);
    if (exists && !S_ISREG(old.st_mode))
        return QStringLiteral("Not a regular file");

    // A hidden name beside the target, so the rename stays within one
    // file system and never crosses folders.
    QByteArray temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        // The target's name may already be as long as a name can be.
        temp = folder + '/' + '.' + base.left(200) + '.'
            + QByteArray::number(QRandomGenerator::global()->generate(), 16) + ".tmp";
        fd = ::open(temp.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return reason(errno);
    }
    if (fd < 0)
        return reason(EEXIST);
    if (exists) {
        // Keep the old file's owner and permissions; a failure to do so
        // (not our file) is not worth refusing the write for.
        [[maybe_unused]] const int owned = ::fchown(fd, old.st_uid, old.st_gid);
        [[maybe_unused]] const int moded = ::fchmod(fd, old.st_mode & 07777);
    }
    fd_ = fd;
    temp_ = temp;
    target_ = target;
    return {};
}

bool ReplacementFile::write(const char* data, qint64 size)
{
    if (fd_ < 0) {
        error_ = reason(EBADF);
        return false;
    }
    const qint64 limit = writeLimit.load();
    if (!writeAll(fd_, data, size, limit < 0 ? -1 : std::max<qint64>(0, limit - written_))) {
        error_ = reason(errno);
        return false;
    }
    written_ += size;
    position_ += size;
    return true;
}

qint64 ReplacementFile::seek(qint64 offset, int whence)
{
    if (fd_ < 0) {
        error_ = reason(EBADF);
        return -1;
    }
    const off_t at = ::lseek(fd_, off_t(offset), whence);
    if (at < 0) {
        error_ = reason(errno);
        return -1;
    }
    position_ = at;
    return at;
}

QString ReplacementFile::commit()
{
    if (fd_ < 0)
        return reason(EBADF);
    const int fd = fd_;
    fd_ = -1;
    auto failWith = [this](int error) {
        ::unlink(temp_.constData());
        temp_.clear();
        return reason(error);
    };
    if (::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        return failWith(error);
    }
    if (::close(fd) != 0)
        return failWith(errno);
    if (::rename(temp_.constData(), target_.constData()) != 0)
        return failWith(errno);
    temp_.clear();
    return {};
}

void ReplacementFile::abandon()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temp_.isEmpty()) {
        ::unlink(temp_.constData());
        temp_.clear();
    }
}

} // namespace plovex
