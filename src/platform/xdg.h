#pragma once

#include <QByteArray>
#include <QString>

namespace plovex {

// The per-user folders of the freedesktop base directory conventions. Each
// is the variable's value when it holds an absolute path, else the usual
// folder under $HOME; the empty text when neither is known. No trailing '/'.
QString XdgCacheHome();  // $XDG_CACHE_HOME, else ~/.cache
QString XdgDataHome();   // $XDG_DATA_HOME, else ~/.local/share
QString XdgConfigHome(); // $XDG_CONFIG_HOME, else ~/.config

// The folder where web browsers keep their caches on this system. Empty when
// it cannot be found; a search of the empty folder starts at the root.
QString BrowserCacheFolder();

// The full path of the running executable.
QString RunningExecutable();

// Replaces (or creates) the file at path with data: the bytes go to a
// temporary file beside it, which is then renamed over the target, so the
// file is never seen half written. A symbolic link at path is kept and its
// target replaced. Creates the missing folders. Returns false on any failure,
// leaving the former file as it was (ReplaceFileContents does the writing).
bool WriteFileAtomically(const QString& path, const QByteArray& data);

} // namespace plovex
