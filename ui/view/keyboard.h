// What keys do in a form's window, the same on every desktop. A desktop hands each key
// press to its form's binding before doing anything else with it; what the rules leave
// alone (typing, Tab, accelerators, a button's own Space) it handles as it always does.
#pragma once

#include <functional>

#include "ui/control.h"

namespace ui {
class Form;
}  // namespace ui

namespace ui::view {

struct KeyStroke {
    ui::Key key = ui::Key::Other;
    bool ctrl = false;
    bool alt = false;
    bool repeat = false;  // sent again by the keyboard while the key is held
};

bool isArrow(ui::Key key);

// The model's answer to a key pressed while `focused` has the keyboard focus in `form`
// (null: no control has it), or an empty function when the rules leave the key alone:
//  - Alt+F4 closes the window, as its close box would.
//  - A drawn control takes Space, and the arrow keys when it asks for them.
//  - An edit box takes Up and Down when spin buttons step from its keys.
//  - Space or Return on the radio button already checked is its second press: the
//    double click, which chooses another file for that source.
//  - Return presses the focused push button, else the window's default button (but in
//    a memo, where it starts a new line); Escape presses its cancel button.
// Keys held with Ctrl or Alt are left alone, but for Alt+F4.
std::function<void()> keyAction(ui::Form& form, ui::Control* focused, KeyStroke stroke);

// Where Tab (or Shift+Tab, `backwards`) takes the focus from `from` (null: from
// nowhere): the next tab stop the user can reach now in the keyboard order (each control
// before its children, the children by tab order; a notebook's tabs before its page),
// round at the ends. Null when there is none.
ui::Control* nextTabStop(const ui::Form& form, const ui::Control* from, bool backwards);

}  // namespace ui::view
