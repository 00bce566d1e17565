#pragma once

// Small POSIX file helpers shared by the extractors: descriptors that close
// themselves, and reads and writes that report failures as PlovexError with
// the file's name and the system's reason.

#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace plovex::extract_detail {

class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(int fd) : fd_(fd) {}
    FileHandle(FileHandle&& other) noexcept : fd_(other.release()) {}
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle();

    int get() const { return fd_; }
    bool isOpen() const { return fd_ >= 0; }
    int release()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Closes the descriptor; returns false (errno set) when close reports a
    // failure, which for written files can mean lost data.
    bool close();

private:
    int fd_ = -1;
};

// The text of errno as the system words it.
QString systemReason(int error);

// "Cannot open file "path". reason" and its kin.
[[noreturn]] void throwOpenError(const QString& path, int error);
[[noreturn]] void throwOpenError(const QString& path, const QString& reason);
[[noreturn]] void throwCreateError(const QString& path, int error);
[[noreturn]] void throwCreateError(const QString& path, const QString& reason);
[[noreturn]] void throwWriteError(const QString& path, int error);
[[noreturn]] void throwReadError();

// Opens an existing file for reading; throws the open error, also for a
// path that is not a regular file or folder (a FIFO, a device), which is
// refused before anything is read.
FileHandle openForReading(const QString& path);
// Creates or truncates a file for writing; throws the create error.
FileHandle createForWriting(const QString& path);
// The same, refusing to touch the file open as `sourceFd` (the file being
// read), whatever name leads to it: the same path, a hard link or a
// symbolic link. The file is opened first and compared by device and
// inode before it is cut to nothing, so the check and the write concern
// one file. The refusal throws the create error with `sameFileReason`.
FileHandle createForWriting(const QString& path, int sourceFd, const QString& sameFileReason);

// Reads up to size bytes, retrying on interruption; returns the count read
// (less than size only at the end of the file). Throws the read error.
std::size_t readSome(int fd, void* buffer, std::size_t size);
// Writes all size bytes; throws the write error naming path.
void writeAll(int fd, const void* data, std::size_t size, const QString& path);

// A fixed-size byte buffer left uninitialised: it is always filled before
// it is read, and clearing large buffers on every use costs time.
class ByteBuffer {
public:
    explicit ByteBuffer(std::size_t size) : bytes_(std::make_unique_for_overwrite<unsigned char[]>(size)), size_(size) {}
    unsigned char* data() { return bytes_.get(); }
    const unsigned char* data() const { return bytes_.get(); }
    std::size_t size() const { return size_; }

private:
    std::unique_ptr<unsigned char[]> bytes_;
    std::size_t size_;
};

inline std::uint16_t le16(const unsigned char* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
inline std::uint32_t le32(const unsigned char* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16)
        | (std::uint32_t(p[3]) << 24);
}

} // namespace plovex::extract_detail
