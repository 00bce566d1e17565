#include "extract/movie_source.h"

#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <unistd.h>

namespace plovex::extract_detail {

namespace {
constexpr std::size_t kInputChunk = 256 * 1024;

// Small files get a small input buffer.
std::size_t inputChunk(const ByteSource& source)
{
    const auto rest = source.remaining();
    return rest ? std::size_t(std::clamp<std::uint64_t>(*rest, 4096, kInputChunk)) : kInputChunk;
}
}

std::uint64_t ByteSource::skip(std::uint64_t count)
{
    unsigned char scratch[16 * 1024];
    std::uint64_t done = 0;
    while (done < count) {
        const std::size_t n = read(scratch, std::size_t(std::min<std::uint64_t>(count - done, sizeof scratch)));
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

std::size_t FileSource::read(unsigned char* buffer, std::size_t size)
{
    size = std::size_t(std::min<std::uint64_t>(size, size_ - offset_));
    if (size == 0)
        return 0;
    const std::size_t n = readSome(fd_, buffer, size);
    offset_ += n;
    if (n < size)
        size_ = offset_; // the file became shorter while being read
    return n;
}

std::uint64_t FileSource::skip(std::uint64_t count)
{
    count = std::min(count, size_ - offset_);
    if (::lseek(fd_, off_t(offset_ + count), SEEK_SET) < 0)
        throwReadError();
    offset_ += count;
    return count;
}

namespace {

class InflateSource final : public ByteSource {
public:
    explicit InflateSource(ByteSource& in) : in_(in), input_(inputChunk(in))
    {
        if (inflateInit(&z_) != Z_OK)
            finished_ = true;
        else
            initialised_ = true;
    }
    ~InflateSource() override
    {
        if (initialised_)
            inflateEnd(&z_);
    }

    std::size_t read(unsigned char* buffer, std::size_t size) override
    {
        if (finished_ || size == 0)
            return 0;
        z_.next_out = buffer;
        z_.avail_out = uInt(std::min<std::size_t>(size, UINT_MAX));
        while (z_.avail_out > 0 && !finished_) {
            if (z_.avail_in == 0) {
                const std::size_t n = in_.read(input_.data(), input_.size());
                if (n == 0) {
                    finished_ = true; // the compressed data ended early
                    break;
                }
                z_.next_in = input_.data();
                z_.avail_in = uInt(n);
            }
            const int ret = inflate(&z_, Z_NO_FLUSH);
            if (ret == Z_STREAM_END || (ret != Z_OK && ret != Z_BUF_ERROR))
                finished_ = true; // the end, or damaged data: what came before stands
        }
        return std::size_t(z_.next_out - buffer);
    }

    std::uint64_t fileOffset() const override { return in_.fileOffset(); }

private:
    ByteSource& in_;
    z_stream z_{};
    ByteBuffer input_;
    bool initialised_ = false;
    bool finished_ = false;
};

class LzmaSource final : public ByteSource {
public:
    LzmaSource(ByteSource& in, lzma_stream&& stream) : in_(in), s_(stream), input_(inputChunk(in)) {}
    ~LzmaSource() override { lzma_end(&s_); }

    std::size_t read(unsigned char* buffer, std::size_t size) override
    {
        if (finished_ || size == 0)
            return 0;
        s_.next_out = buffer;
        s_.avail_out = size;
        while (s_.avail_out > 0 && !finished_) {
            lzma_action action = LZMA_RUN;
            if (s_.avail_in == 0 && !inputEnded_) {
                const std::size_t n = in_.read(input_.data(), input_.size());
                if (n == 0)
                    inputEnded_ = true;
                s_.next_in = input_.data();
                s_.avail_in = n;
            }
            if (inputEnded_)
                action = LZMA_FINISH;
            const std::size_t before = s_.avail_out;
            const lzma_ret ret = lzma_code(&s_, action);
            if (ret != LZMA_OK)
                finished_ = true; // the end, or damaged or truncated data
            else if (inputEnded_ && s_.avail_in == 0 && s_.avail_out == before)
                finished_ = true; // no progress without more input
        }
        return size - s_.avail_out;
    }

    std::uint64_t fileOffset() const override { return in_.fileOffset(); }

private:
    ByteSource& in_;
    lzma_stream s_;
    ByteBuffer input_;
    bool inputEnded_ = false;
    bool finished_ = false;
};

} // namespace

std::unique_ptr<ByteSource> makeInflateSource(ByteSource& compressed)
{
    return std::make_unique<InflateSource>(compressed);
}

std::unique_ptr<ByteSource> makeLzmaSource(ByteSource& compressed, const unsigned char props[5],
                                           std::uint64_t expectedSize)
{
    lzma_options_lzma options{};
    // The property bytes: lc/lp/pb packed in the first, the dictionary size
    // in the next four.
    const unsigned packed = props[0];
    if (packed >= 9 * 5 * 5)
        return nullptr;
    options.lc = packed % 9;
    options.lp = (packed / 9) % 5;
    options.pb = packed / 45;
    if (options.lc + options.lp > LZMA_LCLP_MAX)
        return nullptr;
    // A dictionary larger than the data is never used; capping it keeps a
    // hostile header from reserving gigabytes.
    std::uint64_t dict = le32(props + 1);
    dict = std::min<std::uint64_t>(dict, std::max<std::uint64_t>(expectedSize, LZMA_DICT_SIZE_MIN));
    dict = std::clamp<std::uint64_t>(dict, LZMA_DICT_SIZE_MIN, std::uint64_t(1) << 28);
    options.dict_size = std::uint32_t(dict);
    options.ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
    options.ext_size_low = std::uint32_t(expectedSize);
    options.ext_size_high = std::uint32_t(expectedSize >> 32);

    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_stream stream = LZMA_STREAM_INIT;
    if (lzma_raw_decoder(&stream, filters) != LZMA_OK) {
        lzma_end(&stream);
        return nullptr;
    }
    return std::make_unique<LzmaSource>(compressed, std::move(stream));
}

} // namespace plovex::extract_detail
