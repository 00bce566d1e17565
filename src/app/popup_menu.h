#pragma once

#include <QMenu>

namespace plovex {

// The class of the player's context menu PopupMenu1. It becomes the
// side-bar popup menu once that exists; everything else sees a QMenu.
using TPopupMenu1 = QMenu;

} // namespace plovex
