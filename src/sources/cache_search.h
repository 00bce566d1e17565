#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace plovex {

// Called while a search runs, so that the window can process its pending
// events (the GUI passes QCoreApplication::processEvents).
using SearchYield = std::function<void()>;

// Every file below folder, at any depth, whose extension (the part of its
// name from the last '.' on) equals ext without regard to letter case and
// whose size is greater than minSize bytes, as full paths in the order met:
// folders are searched depth first, each entry in the order the file system
// lists them, hidden ones included. An empty folder means the root. Links to
// folders are not followed (a link loop cannot make the search endless); a
// link to a file counts with the file's size. A folder that cannot be listed
// contributes nothing. yield, when given, is called after each entry of a
// folder except its first. stop, when given and true, ends the search early.
QStringList SearchFiles(const QString& folder, const QString& ext, qint64 minSize,
                        const SearchYield& yield = {}, const bool* stop = nullptr);

// The search that the cache list runs. The window processes events during a
// search, so a command could ask for a second search before the first ends;
// this refuses it.
class FileSearch {
public:
    void setYield(SearchYield yield) { yield_ = std::move(yield); }

    bool isRunning() const { return running_; }
    // Asks a running search to end at the next entry; it returns what it had.
    void cancel() { stop_ = true; }

    // The found files; nullopt, without searching, while another search runs.
    std::optional<QStringList> run(const QString& folder, const QString& ext, qint64 minSize);

private:
    SearchYield yield_;
    bool running_ = false;
    bool stop_ = false;
};

// Copies the file at from to to, never replacing a file that is already
// there: the target is created exclusively. A copy that fails part way
// leaves no partial file. False on any failure (target exists, folder not
// writable, source gone).
bool CopyFileNoReplace(const QString& from, const QString& to);

} // namespace plovex
