#include "extract/file_io.h"

#include "platform/errors.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plovex::extract_detail {

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept
{
    if (this != &other) {
        close();
        fd_ = other.release();
    }
    return *this;
}

FileHandle::~FileHandle()
{
    close();
}

bool FileHandle::close()
{
    if (fd_ < 0)
        return true;
    const int fd = release();
    return ::close(fd) == 0 || errno == EINTR;
}

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

void throwOpenError(const QString& path, int error)
{
    throwOpenError(path, systemReason(error));
}

void throwOpenError(const QString& path, const QString& reason)
{
    throw PlovexError(QStringLiteral("Cannot open file \"%1\". %2").arg(path, reason));
}

void throwCreateError(const QString& path, int error)
{
    throwCreateError(path, systemReason(error));
}

void throwCreateError(const QString& path, const QString& reason)
{
    throw PlovexError(QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason));
}

void throwWriteError(const QString& path, int error)
{
    throw PlovexError(QStringLiteral("Cannot write to file \"%1\". %2").arg(path, systemReason(error)));
}

void throwReadError()
{
    throw PlovexError(QStringLiteral("Stream read error"));
}

FileHandle openForReading(const QString& path)
{
    if (path.isEmpty())
        throwOpenError(path, ENOENT);
    // Not blocking, so that a FIFO is refused below instead of waiting for
    // a writer.
    FileHandle in(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!in.isOpen())
        throwOpenError(path, errno);
    struct stat st {};
    if (::fstat(in.get(), &st) != 0)
        throwOpenError(path, errno);
    // A device, pipe or socket may never end (/dev/zero) or block forever.
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
        throwOpenError(path, QStringLiteral("The file is not a regular file."));
    const int flags = ::fcntl(in.get(), F_GETFL);
    if (flags >= 0)
        ::fcntl(in.get(), F_SETFL, flags & ~O_NONBLOCK);
    return in;
}

FileHandle createForWriting(const QString& path)
{
    if (path.isEmpty())
        throwCreateError(path, ENOENT);
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        throwCreateError(path, errno);
    return FileHandle(fd);
}

FileHandle createForWriting(const QString& path, int sourceFd, const QString& sameFileReason)
{
    if (path.isEmpty())
        throwCreateError(path, ENOENT);
    FileHandle out(::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
    if (!out.isOpen())
        throwCreateError(path, errno);
    struct stat source {}, target {};
    if (::fstat(sourceFd, &source) != 0 || ::fstat(out.get(), &target) != 0)
        throwCreateError(path, errno);
    if (source.st_dev == target.st_dev && source.st_ino == target.st_ino)
        throwCreateError(path, sameFileReason);
    if (S_ISREG(target.st_mode) && ::ftruncate(out.get(), 0) != 0)
        throwCreateError(path, errno);
    return out;
}

std::size_t readSome(int fd, void* buffer, std::size_t size)
{
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, out + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throwReadError();
        }
        if (n == 0)
            break;
        done += std::size_t(n);
    }
    return done;
}

void writeAll(int fd, const void* data, std::size_t size, const QString& path)
{
    const auto* in = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, in, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throwWriteError(path, errno);
        }
        in += n;
        size -= std::size_t(n);
    }
}

} // namespace plovex::extract_detail
