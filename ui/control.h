// Components and controls: plain objects that hold their own state and raise their
// events synchronously. A view mirrors them onto real widgets through ComponentPeer.
//
// Event rules:
//  - Setting a property from code raises the matching change/click event before the
//    setter returns; the handler runs to its end first.
//  - Setting a text to the value it already holds raises nothing.
//  - Handlers do not catch errors: an exception unwinds through nested setters to
//    whoever delivered the outermost event (Application::dispatch).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ui/geometry.h"

namespace ui {

class Application;
class Canvas;
class Component;
class Form;

using NotifyEvent = std::function<void(Component* sender)>;
using KeyPressEvent = std::function<void(Component* sender, char& key)>;
using MouseMoveEvent = std::function<void(Component* sender, Point where)>;

// What changed on a component, for its view.
enum class Change {
    Bounds,
    Visible,
    Enabled,
    Text,
    Font,
    Color,
    Checked,
    Alignment,
    ReadOnly,
    PageIndex,
    Position,
    Repaint,
    Focus,     // the model asks for the keyboard focus
    Activate,  // a form asks to be shown on top and activated
};

class ComponentPeer {
public:
    virtual void componentChanged(Component& component, Change what) = 0;

protected:
    ~ComponentPeer() = default;
};

// The keys that a control or a window acts on (characters go through keyPress instead).
enum class Key { Left, Right, Up, Down, Space, Return, Escape, F4, Other };

class Component {
public:
    Component(Component* owner, std::string name);
    virtual ~Component();
    Component(const Component&) = delete;
    Component& operator=(const Component&) = delete;

    const std::string& name() const { return name_; }
    Component* owner() const { return owner_; }
    const std::vector<std::unique_ptr<Component>>& components() const { return components_; }

    // The form this component belongs to (itself for a form), or null.
    virtual Form* form();

    // Creates a component owned by this one; it lives as long as its owner.
    template <class T, class... Args>
    T* add(Args&&... args) {
        auto object = std::make_unique<T>(this, std::forward<Args>(args)...);
        T* raw = object.get();
        components_.push_back(std::move(object));
        return raw;
    }

    void setPeer(ComponentPeer* peer) { peer_ = peer; }
    ComponentPeer* peer() const { return peer_; }

protected:
    void changed(Change what);

    // Stores value in field; an equal value leaves it alone. True when it changed.
    template <class T>
    static bool assign(T& field, const T& value) {
        if (field == value) return false;
        field = value;
        return true;
    }
    // The same, and a change is also reported to the view.
    template <class T>
    bool assign(T& field, const T& value, Change what) {
        if (!assign(field, value)) return false;
        changed(what);
        return true;
    }

    // The owned components of type T, in creation order.
    template <class T>
    std::vector<T*> componentsOf() const {
        std::vector<T*> result;
        for (const auto& c : components_) {
            if (auto* t = dynamic_cast<T*>(c.get())) result.push_back(t);
        }
        return result;
    }

private:
    Component* owner_;
    std::string name_;
    std::vector<std::unique_ptr<Component>> components_;
    ComponentPeer* peer_ = nullptr;
};

// A visual control with a parent, bounds relative to the parent's client area, and the
// common look and state.
class Control : public Component {
public:
    // The parent doubles as the owner.
    Control(Component* parent, std::string name);

    Control* parent() const;
    std::vector<Control*> children() const;

    Rect bounds() const { return bounds_; }
    void setBounds(int left, int top, int width, int height);
    int left() const { return bounds_.left; }
    int top() const { return bounds_.top; }
    int width() const { return bounds_.width(); }
    int height() const { return bounds_.height(); }

    bool visible() const { return visible_; }
    void setVisible(bool v);
    bool enabled() const { return enabled_; }
    void setEnabled(bool v);

    const Font& font() const { return font_; }
    void setFont(const Font& f);

    const std::string& hint() const { return hint_; }
    bool showHint() const { return showHint_; }
    void setHint(std::string text, bool show);

    // What assistive tools call a control whose kind shows no caption of its own.
    const std::string& accessibleName() const { return accessibleName_; }
    void setAccessibleName(std::string name) { accessibleName_ = std::move(name); }

    int tabOrder() const { return tabOrder_; }
    void setTabOrder(int order) { tabOrder_ = order; }
    bool tabStop() const { return tabStop_; }
    void setTabStop(bool v) { tabStop_ = v; }

    // Keyboard focus as the view reports it. A focus that leaves for another window
    // is not reported: the control keeps it for when the window is active again.
    bool focused() const { return focused_; }
    // This control or the one below it that has the focus, or null.
    Control* focusedControl() const;
    void setFocus();
    virtual void focusChanged(bool hasFocus);

    // The control should be redrawn now.
    void invalidate() { changed(Change::Repaint); }

protected:
    void setAutoBounds(int width, int height);
    // Runs after the bounds have changed, for controls that lay themselves out.
    virtual void boundsChanged() {}

private:
    Rect bounds_;
    bool visible_ = true;
    bool enabled_ = true;
    Font font_;
    std::string hint_;
    bool showHint_ = false;
    std::string accessibleName_;
    int tabOrder_ = -1;
    bool tabStop_ = false;
    bool focused_ = false;
};

}  // namespace ui
