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

std::vector<Control*> Control::children() const {
    std::vector<Control*> result;
    for (const auto& c : components()) {
        if (auto* control = dynamic_cast<Control*>(c.get())) result.push_back(control);
    }
    return result;
}

void Control::setBounds(int left, int top, int width, int height) {
    const Rect r{left, top, left + width, top + height};
    if (r == bounds_) return;
    bounds_ = r;
    changed(Change::Bounds);
    boundsChanged();
}

void Control::setAutoBounds(int width, int height) {
    setBounds(bounds_.left, bounds_.top, width, height);
}

void Control::setVisible(bool v) {
    if (v == visible_) return;
    visible_ = v;
    changed(Change::Visible);
}

void Control::setEnabled(bool v) {
    if (v == enabled_) return;
    enabled_ = v;
    changed(Change::Enabled);
}

bool Control::showing() const {
    for (const Control* c = this; c; c = c->parent()) {
        if (!c->visible()) return false;
    }
    return true;
}

void Control::setFont(const Font& f) {
    if (f == font_) return;
    font_ = f;
    changed(Change::Font);
}

void Control::setHint(std::string text, bool show) {
    hint_ = std::move(text);
    showHint_ = show;
}

void Control::setFocus() { changed(Change::Focus); }

void Control::focusChanged(bool hasFocus) { focused_ = hasFocus; }

}  // namespace ui
