#pragma once

// Keyboard focus as the Flash Player keeps it: which objects can take it
// (Selection.setFocus), which ones Tab visits and in what order, and the
// text selection of a focused field.

#include "avm1/runtime.h"

#include <vector>

namespace plovex::avm1 {

// Whether `d` is `root` or inside it.
bool InTree(const swf::DisplayObject* d, const swf::DisplayObject* root);
// A text field (placed from a character or made by a script).
bool IsTextField(Runtime& rt, const swf::DisplayObject* d);
// A text field the user can type into.
bool IsEditableText(Runtime& rt, swf::DisplayObject* d);
// A clip with press, release or roll handlers acts as a button.
bool ActsAsButton(Runtime& rt, const swf::DisplayObject* d);
// Whether Selection.setFocus may give `d` the focus: buttons, text fields,
// and clips with focusEnabled or acting as buttons.
bool Focusable(Runtime& rt, swf::DisplayObject* d);
// Whether Tab stops at `d`: its tabEnabled, or by default buttons, input
// fields and clips acting as buttons.
bool TabEnabled(Runtime& rt, swf::DisplayObject* d);
// The objects Tab visits, first to last. When any of them has a tabIndex,
// only those with one, by index (ties in display order); otherwise by the
// top-left corner of their stage bounds, read along lines that fall one
// pixel for every six to the right, and of two objects on the same line
// only the first in display order.
std::vector<swf::DisplayObject*> TabOrder(Runtime& rt);
// The object's tabIndex, when it has one (-1 counts as none).
bool TabIndexOf(Runtime& rt, swf::DisplayObject* d, int& index);
// Replaces the field's selection (or inserts at its caret) with `with`;
// the caret ends after it.
void ReplaceSelection(swf::TextFieldState& s, const QString& with);
// The field's live state, made from its character on first use.
swf::TextFieldState* TextStateOf(Runtime& rt, swf::DisplayObject* field);

} // namespace plovex::avm1
