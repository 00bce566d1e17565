#pragma once

#include "widgets/bar_popup_menu.h"

namespace plovex {

// The class of the player's context menu PopupMenu1: the popup menu with
// the gradient side bar.
using TPopupMenu1 = TBarPopupMenu;

} // namespace plovex
