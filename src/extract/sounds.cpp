#include "extract/sounds.h"

#include "extract/file_io.h"
#include "extract/movie_source.h"
#include "platform/prompts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace plovex {

using namespace extract_detail;

namespace {

constexpr std::uint16_t kTagEnd = 0;
constexpr std::uint16_t kTagDefineSound = 14;
constexpr std::uint16_t kTagSoundStreamHead = 18;
constexpr std::uint16_t kTagSoundStreamBlock = 19;
constexpr std::uint16_t kTagSoundStreamHead2 = 45;

// The fixed fields in front of the sound data: id, format byte and sample
// count of DefineSound; the format bytes and block sample count of a
// stream head; the 4 leading bytes of a stream block.
constexpr std::uint64_t kDefineSoundFixed = 7;
constexpr std::uint64_t kStreamHeadFixed = 4;
constexpr std::uint64_t kStreamBlockSkipped = 4;

constexpr std::size_t kReadBuffer = 256 * 1024;
constexpr std::size_t kWriteBuffer = 256 * 1024;

// Buffered reader over a byte source. Every read reports whether the data
// held enough bytes; the walk stops at the first that did not.
class TagReader {
public:
    TagReader(ByteSource& source, const SoundExtractionOptions& options, std::uint64_t fileSize)
        : source_(source), buffer_(bufferSize(source)), progress_(options.progress), fileSize_(fileSize) {}

    bool read(void* out, std::size_t size)
    {
        auto* dst = static_cast<unsigned char*>(out);
        while (size > 0) {
            if (pos_ == end_ && !fill())
                return false;
            const std::size_t n = std::min(size, end_ - pos_);
            std::memcpy(dst, buffer_.data() + pos_, n);
            pos_ += n;
            dst += n;
            size -= n;
        }
        return true;
    }

    bool skip(std::uint64_t count)
    {
        const std::size_t buffered = std::size_t(std::min<std::uint64_t>(count, end_ - pos_));
        pos_ += buffered;
        count -= buffered;
        if (count == 0)
            return true;
        const bool whole = source_.skip(count) == count;
        report();
        return whole;
    }

    // Hands the next count bytes to sink in pieces; false when the data
    // ends first (the pieces before were handed over).
    template <typename Sink>
    bool stream(std::uint64_t count, Sink&& sink)
    {
        while (count > 0) {
            if (pos_ == end_ && !fill())
                return false;
            const std::size_t n = std::size_t(std::min<std::uint64_t>(count, end_ - pos_));
            sink(buffer_.data() + pos_, n);
            pos_ += n;
            count -= n;
        }
        return true;
    }

    // Bytes left when the source knows; used to refuse a tag that claims
    // more than the movie holds before anything is written for it.
    std::optional<std::uint64_t> remaining() const
    {
        const auto rest = source_.remaining();
        if (!rest)
            return std::nullopt;
        return *rest + (end_ - pos_);
    }

private:
    // Small movies get a small buffer.
    static std::size_t bufferSize(const ByteSource& source)
    {
        const auto rest = source.remaining();
        return rest ? std::size_t(std::clamp<std::uint64_t>(*rest, 4096, kReadBuffer)) : kReadBuffer;
    }

    bool fill()
    {
        pos_ = 0;
        end_ = source_.read(buffer_.data(), buffer_.size());
        report();
        return end_ > 0;
    }

    void report()
    {
        if (progress_)
            progress_(source_.fileOffset(), fileSize_);
    }

    ByteSource& source_;
    ByteBuffer buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    const std::function<void(std::uint64_t, std::uint64_t)>& progress_;
    std::uint64_t fileSize_;
};

// An output file under construction. Until commit() it can be cut back or
// abandoned; an abandoned file is removed, so that a sound that was not
// written whole leaves nothing behind.
class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile()
    {
        if (isOpen())
            discard();
    }

    bool isOpen() const { return fd_.isOpen(); }
    std::uint64_t size() const { return flushed_ + buffer_.size(); }

    // Creates the file; never the movie being read (`sourceFd`).
    void create(const QString& path, int sourceFd)
    {
        fd_ = createForWriting(path, sourceFd, QStringLiteral("The file is the movie being read."));
        path_ = path;
        flushed_ = 0;
        buffer_.clear();
    }

    void append(const unsigned char* data, std::size_t size)
    {
        if (buffer_.size() + size > kWriteBuffer) {
            flush();
            if (size >= kWriteBuffer) {
                writeAll(fd_.get(), data, size, path_);
                flushed_ += size;
                return;
            }
        }
        buffer_.insert(buffer_.end(), data, data + size);
    }

    // Cuts the file back to its first size bytes.
    void truncate(std::uint64_t size)
    {
        if (size >= flushed_) {
            buffer_.resize(std::size_t(size - flushed_));
            return;
        }
        buffer_.clear();
        if (::ftruncate(fd_.get(), off_t(size)) != 0 || ::lseek(fd_.get(), off_t(size), SEEK_SET) < 0)
            throwWriteError(path_, errno);
        flushed_ = size;
    }

    // Finishes the file; returns its path.
    QString commit()
    {
        flush();
        if (!fd_.close())
            throwWriteError(path_, errno);
        return path_;
    }

    void discard()
    {
        fd_.close();
        ::unlink(QFile::encodeName(path_).constData());
    }

private:
    void flush()
    {
        if (buffer_.empty())
            return;
        writeAll(fd_.get(), buffer_.data(), buffer_.size(), path_);
        flushed_ += buffer_.size();
        buffer_.clear();
    }

    QString path_;
    FileHandle fd_;
    std::uint64_t flushed_ = 0;
    std::vector<unsigned char> buffer_;
};

// The extension a SoundFormat selects; formats 3 and up keep the previous one.
void updateExtension(QString& extension, unsigned format)
{
    if (format == 0 || format == 1)
        extension = QStringLiteral(".WAV");
    else if (format == 2)
        extension = QStringLiteral(".MP3");
}

class SoundWalk {
public:
    SoundWalk(TagReader& reader, const QString& folder, const QString& base, int movieFd)
        : reader_(reader), folder_(folder), base_(base), movieFd_(movieFd) {}

    // Walks the tags; returns true when the End tag was reached.
    bool run()
    {
        const bool complete = walk();
        finishStream();
        return complete;
    }

    QStringList written;

private:
    bool walk()
    {
        for (;;) {
            unsigned char header[4];
            if (!reader_.read(header, 2))
                return false;
            const unsigned code = le16(header) >> 6;
            std::uint64_t length = le16(header) & 0x3F;
            if (length == 0x3F) {
                if (!reader_.read(header, 4))
                    return false;
                length = le32(header);
            }
            if (const auto rest = reader_.remaining(); rest && length > *rest)
                return false; // the tag runs past the end of the movie

            switch (code) {
            case kTagEnd:
                return true;
            case kTagDefineSound:
                if (length < kDefineSoundFixed || !defineSound(length))
                    return false;
                break;
            case kTagSoundStreamHead:
            case kTagSoundStreamHead2:
                if (length < kStreamHeadFixed || !streamHead(length))
                    return false;
                break;
            case kTagSoundStreamBlock:
                if (length < kStreamBlockSkipped || !streamBlock(length))
                    return false;
                break;
            default:
                if (!reader_.skip(length))
                    return false;
                break;
            }
        }
    }

    bool defineSound(std::uint64_t length)
    {
        unsigned char fields[3];
        if (!reader_.read(fields, 3))
            return false;
        const unsigned id = le16(fields);
        updateExtension(eventExtension_, fields[2] >> 4);

        // The file holds the body from the format byte on.
        OutputFile out;
        out.create(outputPath(QStringLiteral("_SOUND") + QString::number(id) + eventExtension_), movieFd_);
        out.append(fields + 2, 1);
        if (!reader_.stream(length - 3, [&](const unsigned char* p, std::size_t n) { out.append(p, n); }))
            return false; // out is removed: the sound was not whole
        written << out.commit();
        return true;
    }

    bool streamHead(std::uint64_t length)
    {
        // The stream collected so far is written under the extension of
        // the head that began it, before this head's format is read.
        finishStream();
        unsigned char fields[2];
        if (!reader_.read(fields, 2))
            return false;
        updateExtension(streamExtension_, fields[1] >> 4);
        return reader_.skip(length - 2);
    }

    bool streamBlock(std::uint64_t length)
    {
        if (!reader_.skip(kStreamBlockSkipped))
            return false;
        const std::uint64_t data = length - kStreamBlockSkipped;
        if (data == 0)
            return true;
        // The name of the stream is settled by the time its first data
        // arrives: its number only advances when a stream is written, its
        // extension only at the next head, which writes it first.
        if (!stream_.isOpen())
            stream_.create(outputPath(QStringLiteral("_StreamSound") + QString::number(streamNumber_)
                                      + streamExtension_),
                           movieFd_);
        const std::uint64_t before = stream_.size();
        if (!reader_.stream(data, [&](const unsigned char* p, std::size_t n) { stream_.append(p, n); })) {
            // Only whole blocks belong to the stream.
            if (before == 0)
                stream_.discard();
            else
                stream_.truncate(before);
            return false;
        }
        return true;
    }

    void finishStream()
    {
        if (!stream_.isOpen())
            return;
        written << stream_.commit();
        ++streamNumber_;
    }

    QString outputPath(const QString& suffix) const { return QDir(folder_).filePath(base_ + suffix); }

    TagReader& reader_;
    QString folder_;
    QString base_;
    int movieFd_;
    QString eventExtension_ = QStringLiteral(".WAV");
    QString streamExtension_ = QStringLiteral(".WAV");
    std::uint64_t streamNumber_ = 1;
    OutputFile stream_;
};

} // namespace

QString SoundFileBaseName(const QString& moviePath)
{
    const QString name = QFileInfo(moviePath).fileName();
    const qsizetype dot = name.indexOf(u'.');
    return dot < 0 ? name : name.left(dot);
}

SoundExtractionResult ExtractSwfSounds(const QString& moviePath, const QString& outputFolder,
                                       const SoundExtractionOptions& options)
{
    SoundExtractionResult result;
    FileHandle file = openForReading(moviePath);
    struct stat info {};
    if (::fstat(file.get(), &info) != 0)
        throwOpenError(moviePath, errno);
    if (S_ISDIR(info.st_mode))
        throwOpenError(moviePath, EISDIR);

    // Signature and version. A file too short to hold them is not a SWF.
    unsigned char head[8];
    const std::size_t got = readSome(file.get(), head, 4);
    FileSource body(file.get(), std::uint64_t(info.st_size), got);
    const bool plain = got >= 3 && std::memcmp(head, "FWS", 3) == 0;
    const bool zlib = got >= 3 && std::memcmp(head, "CWS", 3) == 0;
    const bool lzma = got >= 3 && std::memcmp(head, "ZWS", 3) == 0;
    if (got < 4 || !(plain || (options.acceptCompressed && (zlib || lzma)))) {
        prompts().showMessage(kNotSwfMessage);
        result.refused = true;
        return result;
    }
    if (head[3] < 5) {
        prompts().showMessage(kSwfTooOldMessage);
        result.refused = true;
        return result;
    }

    // The declared file length; only the LZMA decoder uses it, as the size
    // of the data it decodes.
    if (body.read(head + 4, 4) < 4)
        return result;
    const std::uint64_t declaredLength = le32(head + 4);

    std::unique_ptr<ByteSource> decoded;
    ByteSource* source = &body;
    if (zlib) {
        decoded = makeInflateSource(body);
        source = decoded.get();
    } else if (lzma) {
        unsigned char fields[9]; // compressed length, then the 5 property bytes
        if (body.read(fields, 9) < 9)
            return result;
        decoded = makeLzmaSource(body, fields + 4, declaredLength > 8 ? declaredLength - 8 : 0);
        if (!decoded)
            return result;
        source = decoded.get();
    }

    TagReader reader(*source, options, std::uint64_t(info.st_size));
    // Frame rectangle: Nbits in the upper 5 bits of its first byte, then
    // four fields of Nbits bits. Then frame rate and frame count.
    unsigned char rectStart;
    if (!reader.read(&rectStart, 1))
        return result;
    const unsigned nbits = rectStart >> 3;
    const std::uint64_t rectBytes = (5 + 4 * nbits + 7) / 8;
    if (!reader.skip(rectBytes - 1 + 4))
        return result;

    SoundWalk walk(reader, outputFolder, SoundFileBaseName(moviePath), file.get());
    result.complete = walk.run();
    result.written = walk.written;
    return result;
}

} // namespace plovex
