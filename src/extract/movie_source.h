#pragma once

// Byte sources that the sound walk reads a movie's tags from: the file
// itself, or the file's body inflated (zlib) or decoded (LZMA) on the fly.
// All of them work in bounded memory and never read past the data they
// were given; damaged compressed data simply ends the source.

#include "extract/file_io.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace plovex::extract_detail {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads up to size bytes; 0 means the data has ended. Throws
    // PlovexError on an input failure.
    virtual std::size_t read(unsigned char* buffer, std::size_t size) = 0;
    // Skips up to count bytes; returns how many were skipped.
    virtual std::uint64_t skip(std::uint64_t count);
    // The number of bytes left when the source knows it.
    virtual std::optional<std::uint64_t> remaining() const { return std::nullopt; }
    // Bytes of the underlying file consumed so far, for progress.
    virtual std::uint64_t fileOffset() const = 0;
};

// An open file, read from its current position to its end.
class FileSource final : public ByteSource {
public:
    FileSource(int fd, std::uint64_t size, std::uint64_t offset = 0)
        : fd_(fd), size_(size), offset_(offset) {}
    std::size_t read(unsigned char* buffer, std::size_t size) override;
    std::uint64_t skip(std::uint64_t count) override;
    std::optional<std::uint64_t> remaining() const override { return size_ - offset_; }
    std::uint64_t fileOffset() const override { return offset_; }

private:
    int fd_;
    std::uint64_t size_;
    std::uint64_t offset_;
};

// The zlib stream that follows the first 8 bytes of a "CWS" movie.
std::unique_ptr<ByteSource> makeInflateSource(ByteSource& compressed);

// The raw LZMA1 data of a "ZWS" movie: props are the 5 property bytes,
// expectedSize the declared size of the decoded data (the end marker is
// accepted there too). Returns nullptr when the properties are invalid.
std::unique_ptr<ByteSource> makeLzmaSource(ByteSource& compressed, const unsigned char props[5],
                                           std::uint64_t expectedSize);

} // namespace plovex::extract_detail
