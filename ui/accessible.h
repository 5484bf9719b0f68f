// What a control that draws several push buttons of its own tells assistive tools
// (screen readers, test robots) about them, so each can be found, read and pressed as
// if it were a button of its own.
#pragma once

#include <string>

#include "ui/geometry.h"

namespace ui {

class AccessibleParts {
public:
    virtual int partCount() const = 0;
    // The name a user hears, such as "Play".
    virtual std::string partName(int index) const = 0;
    // The part's area in the control's client coordinates; empty while it is hidden.
    virtual Rect partRect(int index) const = 0;
    // Whether a click on the part would act.
    virtual bool partEnabled(int index) const = 0;
    virtual bool partVisible(int index) const = 0;
    // A click on the part, through the same steps as the mouse; does nothing where a
    // click would do nothing.
    virtual void pressPart(int index) = 0;
    // The part the keyboard is on while the control has the focus, else -1.
    virtual int focusedPart() const = 0;

protected:
    ~AccessibleParts() = default;
};

}  // namespace ui
