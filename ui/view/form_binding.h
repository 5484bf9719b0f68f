// Binds one form to its window on a desktop: the peers of its controls and menu items,
// the order they are made and read in, the keyboard order, and letting go of them all
// when the window or the form goes away. A desktop makes the window and the peers.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "ui/view/control_peer.h"
#include "ui/view/keyboard.h"

namespace ui {
class Form;
class MenuItem;
}  // namespace ui

namespace ui::view {

// Mirrors one menu item's check mark.
class MenuPeer : public ui::ComponentPeer {
public:
    explicit MenuPeer(ui::MenuItem& item) : item_(item) {}
    virtual ~MenuPeer() = default;
    MenuPeer(const MenuPeer&) = delete;
    MenuPeer& operator=(const MenuPeer&) = delete;

    ui::MenuItem& item() const { return item_; }
    void componentChanged(ui::Component&, ui::Change what) override;
    // Shows the item's state.
    virtual void sync() = 0;

private:
    ui::MenuItem& item_;
};

class FormBinding {
public:
    explicit FormBinding(ui::Form& form) : form_(form) {}
    virtual ~FormBinding();
    FormBinding(const FormBinding&) = delete;
    FormBinding& operator=(const FormBinding&) = delete;

    ui::Form& form() const { return form_; }
    bool isMain() const;
    // True once the window is going away: no more input reaches the model.
    bool detaching() const { return detaching_; }
    // Delivers one piece of user input to the model, unless the window is going away.
    void dispatch(const std::function<void()>& event);
    // The peer of the form or of one of its controls, or null.
    ControlPeer* peer(const ui::Component& c) const;
    // The controls' peers in the order they were made: every parent before its children.
    const std::vector<ControlPeer*>& controls() const { return order_; }
    const std::vector<std::unique_ptr<MenuPeer>>& menus() const { return menus_; }

    // Lets every control and menu item go, has the window destroyed while the peers
    // still exist, then drops the peers. Input from then on is not delivered.
    void release();

    // Takes the peer of a menu item and shows its state.
    void addMenu(std::unique_ptr<MenuPeer> menu);
    // The user chose a menu item that has no submenu.
    void menuChosen(MenuPeer& menu);

    // A key pressed in the window while `focused` has the focus (null: none), before
    // the desktop does anything with it. True when the key rules used it (keyboard.h):
    // the desktop then lets it go no further, and its release neither. A used key that
    // is held acts once, but for the arrows, which step on.
    bool keyPressed(ui::Control* focused, KeyStroke stroke);
    // A key let go; true when its press was used, so the release goes no further.
    bool keyReleased(ui::Key key);

protected:
    // Once the window exists: takes the form's own peer, makes the peers of its controls
    // (parents first), reads each control whole, sets the keyboard order, watches for
    // the form going away (then `gone` runs), shows the application title on the main
    // form, and reads the form itself last, since showing it needs everything in place.
    void bind(std::unique_ptr<ControlPeer> root, std::function<void()> gone);

    // The desktop's peer for a control, made inside its parent's peer; null for none.
    virtual std::unique_ptr<ControlPeer> makePeer(ui::Control& control, ControlPeer& parent) = 0;
    // Puts the focus targets of the form's controls into the keyboard order.
    virtual void orderTabs() = 0;
    // Shows the application title (main form only).
    virtual void showTitle() = 0;
    // Destroys the form's window and the desktop's controls in it.
    virtual void destroyWindow() = 0;

private:
    class Sentinel;

    void build(ui::Control& parent, ControlPeer& parentPeer);

    ui::Form& form_;
    std::unordered_map<const ui::Component*, std::unique_ptr<ControlPeer>> peers_;
    std::vector<ControlPeer*> order_;
    std::vector<std::unique_ptr<MenuPeer>> menus_;
    Sentinel* sentinel_ = nullptr;
    bool detaching_ = false;
    std::vector<ui::Key> keysUsed_;  // pressed, used and not yet let go
};

// The forms a view shows, each with its binding (a FormBinding with an attach() that
// makes the window and binds it).
template <class Entry>
class FormList {
public:
    FormList() = default;
    FormList(const FormList&) = delete;
    FormList& operator=(const FormList&) = delete;

    // The binding of a form, or null.
    Entry* find(const ui::Form& form) const {
        for (const auto& e : entries_) {
            if (&e->form() == &form) return e.get();
        }
        return nullptr;
    }
    // Shows a form, once: a form already shown is left as it is. The binding is made
    // from `args` and the form.
    template <class... Args>
    void attach(ui::Form& form, Args&&... args) {
        if (find(form)) return;
        entries_.push_back(std::make_unique<Entry>(std::forward<Args>(args)..., form));
        entries_.back()->attach();
    }
    // Lets go of a form's window and forgets the form.
    void detach(Entry& entry) {
        entry.release();
        std::erase_if(entries_, [&](const std::unique_ptr<Entry>& e) { return e.get() == &entry; });
    }
    // The last shown first.
    void detachAll() {
        while (!entries_.empty()) detach(*entries_.back());
    }
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }

private:
    std::vector<std::unique_ptr<Entry>> entries_;
};

// True for the application title of an armed alarm ("Tolvane @7:05AM"), which the
// tray shows with its own icon.
bool isArmedTitle(const std::string& title);

// The children of `parent` in the order the keyboard visits them: by tab order, those
// without one last, ties in the order they were made.
std::vector<ui::Control*> inTabOrder(const ui::Control& parent);

}  // namespace ui::view
