#pragma once

#include <QString>

namespace plovex {

// The folder of the running executable, with a trailing '/'. Fixed file
// names (flash.swf, FileList.ini, ...) are appended to it.
QString ProgramFolder();

// The folder path with one trailing '/', so names can be appended and
// prefix tests cannot match a sibling ("/a/b" against "/a/bc").
QString WithTrailingSlash(QString folder);

// Tests point the program folder at a temporary folder; an empty path
// returns to the executable's own folder.
void SetProgramFolder(const QString& folder);

} // namespace plovex
