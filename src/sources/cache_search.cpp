#include "sources/cache_search.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace plovex {

namespace {

struct Entry {
    QByteArray name;
    unsigned char type;
};

class Searcher {
public:
    Searcher(const QString& ext, qint64 minSize, const SearchYield& yield, const bool* stop)
        : extBytes_(QFile::encodeName(ext)), ext_(ext), minSize_(minSize), yield_(yield), stop_(stop)
    {
        extAscii_ = true;
        for (char c : extBytes_)
            if (static_cast<unsigned char>(c) >= 0x80)
                extAscii_ = false;
    }

    QStringList found;

    // folder ends in '/'.
    void search(const QByteArray& folder)
    {
        // The folder's entries are read first and the folder closed before
        // going down, so deep trees never hold many folders open at once.
        std::vector<Entry> entries;
        {
            DIR* dir = opendir(folder.constData());
            if (!dir)
                return;
            while (dirent* d = readdir(dir)) {
                if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0)
                    continue;
                entries.push_back({QByteArray(d->d_name), d->d_type});
            }
            closedir(dir);
        }
        for (size_t i = 0; i < entries.size(); ++i) {
            if (stopped())
                return;
            visit(folder, entries[i]);
            if (i > 0 && yield_)
                yield_();
        }
    }

private:
    bool stopped() const { return stop_ && *stop_; }

    void visit(const QByteArray& folder, const Entry& e)
    {
        unsigned char type = e.type;
        // Most entries are files of other types: they are passed over on
        // their name alone, without building a path or asking for details.
        if ((type == DT_REG || type == DT_LNK) && !extensionMatches(e.name))
            return;
        const QByteArray path = folder + e.name;
        if (type == DT_UNKNOWN) {
            // Some file systems do not say; ask without following links.
            struct stat st;
            if (lstat(path.constData(), &st) != 0)
                return;
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISLNK(st.st_mode) ? DT_LNK : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
        }
        if (type == DT_DIR) {
            search(path + '/');
            return;
        }
        if (type != DT_REG && type != DT_LNK)
            return;
        if (!extensionMatches(e.name))
            return;
        struct stat st;
        // A link counts as the file it names; a link to a folder is left out.
        if (stat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode))
            return;
        if (qint64(st.st_size) > minSize_)
            found << QFile::decodeName(path);
    }

    bool extensionMatches(const QByteArray& name) const
    {
        const qsizetype dot = name.lastIndexOf('.');
        if (dot < 0)
            return ext_.isEmpty();
        const qsizetype len = name.size() - dot;
        if (extAscii_)
            return len == extBytes_.size() && strncasecmp(name.constData() + dot, extBytes_.constData(), size_t(len)) == 0;
        return QFile::decodeName(name.mid(dot)).compare(ext_, Qt::CaseInsensitive) == 0;
    }

    QByteArray extBytes_;
    QString ext_;
    bool extAscii_ = true;
    qint64 minSize_;
    const SearchYield& yield_;
    const bool* stop_;
};

} // namespace

QStringList SearchFiles(const QString& folder, const QString& ext, qint64 minSize, const SearchYield& yield,
                        const bool* stop)
{
    QByteArray start = QFile::encodeName(folder);
    if (!start.endsWith('/'))
        start += '/';
    Searcher searcher(ext, minSize, yield, stop);
    searcher.search(start);
    return std::move(searcher.found);
}

std::optional<QStringList> FileSearch::run(const QString& folder, const QString& ext, qint64 minSize)
{
    if (running_)
        return std::nullopt;
    running_ = true;
    stop_ = false;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{running_};
    return SearchFiles(folder, ext, minSize, yield_, &stop_);
}

bool CopyFileNoReplace(const QString& from, const QString& to)
{
    const QByteArray src = QFile::encodeName(from);
    const QByteArray dst = QFile::encodeName(to);
    const int in = open(src.constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    struct stat st;
    if (fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(in);
        return false;
    }
    // O_EXCL: fails when anything, even a dangling link, is already there.
    const int out = open(dst.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (out < 0) {
        close(in);
        return false;
    }
    bool ok = true;
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t n = read(in, buffer.data(), buffer.size());
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            break;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = write(out, buffer.data() + done, size_t(n - done));
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                ok = false;
                break;
            }
            done += w;
        }
        if (!ok)
            break;
    }
    if (close(out) != 0)
        ok = false;
    close(in);
    if (!ok)
        unlink(dst.constData()); // ours: created above
    return ok;
}

} // namespace plovex
