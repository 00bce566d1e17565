#pragma once

#include <QFont>

namespace plovex {

// The font the design asks for as 宋体 (SimSun): that family where it is
// installed, else a CJK-capable family of the free desktops, so that the
// Chinese texts are always readable.
QFont UiFont(int pixelSize = 12);

} // namespace plovex
