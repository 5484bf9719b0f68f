#include "ui/control.h"

#include "ui/form.h"

namespace ui {

Component::Component(Component* owner, std::string name) : owner_(owner), name_(std::move(name)) {}

Component::~Component() {
    // Owned components go in reverse order of creation, the last created first.
    while (!components_.empty()) components_.pop_back();
}

Form* Component::form() { return owner_ ? owner_->form() : nullptr; }

void Component::changed(Change what) {
    if (peer_) peer_->componentChanged(*this, what);
}

Control::Control(Component* parent, std::string name) : Component(parent, std::move(name)) {}

Control* Control::parent() const { return dynamic_cast<Control*>(owner()); }

std::vector<Control*> Control::children() const { return componentsOf<Control>(); }

void Control::setBounds(int left, int top, int width, int height) {
    if (assign(bounds_, Rect{left, top, left + width, top + height}, Change::Bounds)) boundsChanged();
}

void Control::setAutoBounds(int width, int height) { setBounds(bounds_.left, bounds_.top, width, height); }

void Control::setVisible(bool v) { assign(visible_, v, Change::Visible); }

void Control::setEnabled(bool v) { assign(enabled_, v, Change::Enabled); }

void Control::setFont(const Font& f) { assign(font_, f, Change::Font); }

void Control::setHint(std::string text, bool show) {
    hint_ = std::move(text);
    showHint_ = show;
}

Control* Control::focusedControl() const {
    if (focused_) return const_cast<Control*>(this);
    for (const Control* child : children()) {
        if (Control* c = child->focusedControl()) return c;
    }
    return nullptr;
}

void Control::setFocus() { changed(Change::Focus); }

void Control::focusChanged(bool hasFocus) { focused_ = hasFocus; }

}  // namespace ui
