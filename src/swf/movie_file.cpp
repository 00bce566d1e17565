#include "swf/movie_file.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plovex::swf {

QString ReadMovieFile(const QString& path, QByteArray& bytes)
{
    bytes.clear();
    // Not blocking, so that opening a FIFO returns at once and is refused
    // below instead of waiting for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errno == ENOENT ? QStringLiteral("no such file") : QStringLiteral("cannot read the file");
    struct stat st {};
    QString reason;
    if (::fstat(fd, &st) != 0)
        reason = QStringLiteral("cannot read the file");
    else if (S_ISDIR(st.st_mode))
        reason = QStringLiteral("is a folder, not a movie file");
    else if (!S_ISREG(st.st_mode))
        reason = QStringLiteral("is not a regular file (a device, pipe or socket), so it is not read");
    else if (st.st_size > kMaxMovieFileBytes)
        reason = QStringLiteral("is %1 bytes, larger than any movie (at most %2 bytes), so it is not read")
                     .arg(qint64(st.st_size))
                     .arg(kMaxMovieFileBytes);
    if (reason.isEmpty()) {
        // A regular file never blocks; read it to its end (it may have
        // grown or shrunk since), never past the limit.
        const qint64 size = qint64(st.st_size);
        bytes.resize(qsizetype(size));
        qint64 done = 0;
        for (;;) {
            if (done == bytes.size()) {
                if (bytes.size() >= kMaxMovieFileBytes + 1)
                    break;
                bytes.resize(qsizetype(std::min<qint64>(kMaxMovieFileBytes + 1, bytes.size() + 65536)));
            }
            const ssize_t n = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                reason = QStringLiteral("cannot read the file");
                break;
            }
            if (n == 0)
                break;
            done += n;
        }
        bytes.resize(qsizetype(done));
        if (reason.isEmpty() && done > kMaxMovieFileBytes)
            reason = QStringLiteral("is larger than any movie (at most %1 bytes), so it is not read").arg(kMaxMovieFileBytes);
    }
    ::close(fd);
    if (!reason.isEmpty())
        bytes.clear();
    return reason;
}

QSize StagePictureSize(const QRectF& stage, bool* cut)
{
    double w = std::isfinite(stage.width()) ? std::max(1.0, std::round(stage.width())) : 1.0;
    double h = std::isfinite(stage.height()) ? std::max(1.0, std::round(stage.height())) : 1.0;
    double scale = std::min({1.0, kMaxStageSide / w, kMaxStageSide / h, std::sqrt(double(kMaxStagePixels) / (w * h))});
    const bool smaller = scale < 1.0;
    if (smaller) {
        // A side cut to exactly the limit stays there despite rounding.
        w = std::clamp(std::floor(w * scale + 1e-6), 1.0, double(kMaxStageSide));
        h = std::clamp(std::floor(h * scale + 1e-6), 1.0, double(kMaxStageSide));
    }
    if (cut)
        *cut = smaller;
    return QSize(int(w), int(h));
}

} // namespace plovex::swf
