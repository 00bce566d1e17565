#include "extract/projector.h"

#include "extract/file_io.h"
#include "platform/prompts.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plovex {

using namespace extract_detail;

namespace {

constexpr std::size_t kCopyChunk = 1 << 20;

bool readAt(int fd, void* buffer, std::size_t size, off_t offset)
{
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, out + done, size - done, offset + off_t(done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return false;
        done += std::size_t(n);
    }
    return true;
}

} // namespace

bool ExtractProjectorSwf(const QString& source, const QString& target, bool announce)
{
    // The source is held exclusively while it is read: another program
    // that locks it makes the open fail, and the copy is not disturbed by
    // one that asks for the lock afterwards.
    FileHandle in = openForReading(source);
    if (::flock(in.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK)
            throwOpenError(source, QStringLiteral("The file is in use by another program."));
        // File systems without locks: read on without one.
    }

    struct stat sourceInfo {};
    if (::fstat(in.get(), &sourceInfo) != 0)
        throwOpenError(source, errno);
    if (S_ISDIR(sourceInfo.st_mode))
        throwOpenError(source, EISDIR);
    const off_t size = sourceInfo.st_size;

    // A file shorter than the trailer cannot be a projector.
    unsigned char trailer[kProjectorTrailerSize];
    if (size < kProjectorTrailerSize || !readAt(in.get(), trailer, sizeof trailer, size - kProjectorTrailerSize)
        || le32(trailer) != kProjectorMagic) {
        in.close();
        prompts().showMessage(kProjectorRefusedMessage);
        return false;
    }
    const std::uint64_t length = le32(trailer + 4);

    // Creating the target truncates it; when it is the source itself that
    // would destroy the projector, so it is refused as a file in use.
    FileHandle out = createForWriting(target, in.get(), QStringLiteral("The file is the projector being read."));

    const std::uint64_t available = std::uint64_t(size) - kProjectorTrailerSize;
    if (length > available)
        throwReadError();

    off_t offset = off_t(available - length);
    std::uint64_t remaining = length;
    const auto buffer = std::make_unique_for_overwrite<unsigned char[]>(kCopyChunk);
    while (remaining > 0) {
        const std::size_t chunk = std::size_t(std::min<std::uint64_t>(remaining, kCopyChunk));
        if (!readAt(in.get(), buffer.get(), chunk, offset))
            throwReadError();
        writeAll(out.get(), buffer.get(), chunk, target);
        offset += off_t(chunk);
        remaining -= chunk;
    }
    if (!out.close())
        throwWriteError(target, errno);
    in.close();

    if (announce)
        prompts().messageBox(QStringLiteral("文件转换成功"), QStringLiteral("文件转换成功。"),
                             MessageIcon::Information);
    return true;
}

} // namespace plovex
