#pragma once

#include <QString>

namespace plovex {

// The folder of the running executable, with a trailing '/'. Fixed file
// names (flash.swf, FileList.ini, ...) are appended to it.
QString ProgramFolder();

// Tests point the program folder at a temporary folder; an empty path
// returns to the executable's own folder.
void SetProgramFolder(const QString& folder);

} // namespace plovex
