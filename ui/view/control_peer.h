// What every desktop's view shares about mirroring a control onto the desktop's own
// control: which change goes where, the order a whole control is read in, the user's
// focus going back to the model, and the guard against feeding an update back.
#pragma once

#include <functional>

#include "ui/control.h"

namespace ui {
class Application;
}  // namespace ui

namespace ui::view {

class ControlPeer;

// What a control's peer asks of the form it belongs to.
class FormContext {
public:
    virtual ~FormContext() = default;
    virtual ui::Application& application() = 0;
    // Delivers one piece of user input to the model; errors go to the error report.
    virtual void dispatch(const std::function<void()>& event) = 0;
    // The peer of a control of this form, or null.
    virtual ControlPeer* peerOf(const ui::Component& c) = 0;
};

// Mirrors one control onto the desktop's control. A desktop's peers say how to show
// each part of the state; this class says when.
class ControlPeer : public ui::ComponentPeer {
public:
    ControlPeer(ui::Control& control, FormContext& ctx) : control_(control), ctx_(ctx) {}
    virtual ~ControlPeer() = default;
    ControlPeer(const ControlPeer&) = delete;
    ControlPeer& operator=(const ControlPeer&) = delete;

    ui::Control& control() const { return control_; }

    void componentChanged(ui::Component& component, ui::Change what) override;
    // Reads the whole state of the control.
    void syncAll();
    // A child control moved or changed size.
    virtual void childGeometryChanged() {}
    // The user gave or took the keyboard focus.
    void reportFocus(bool hasFocus);

protected:
    // A change of the control's own kind (text, check mark, position...).
    virtual void apply(ui::Change) {}
    virtual void applyVisible() = 0;
    virtual void applyEnabled() = 0;
    virtual void applyGeometry() = 0;
    virtual void applyFont() = 0;
    // The hint shown while the mouse rests on the control, and its accessible name.
    virtual void applyHint() = 0;
    // Moves the keyboard focus to the control, if it takes it.
    virtual void takeFocus() = 0;
    // Has the control drawn again.
    virtual void repaint() = 0;

    bool updating() const { return updating_ > 0; }
    FormContext& ctx() const { return ctx_; }

    // Marks a model-to-desktop update, so the desktop's notifications are not fed back.
    struct Updating {
        explicit Updating(ControlPeer& p) : peer(p) { ++peer.updating_; }
        ~Updating() { --peer.updating_; }
        ControlPeer& peer;
    };

private:
    ui::Control& control_;
    FormContext& ctx_;
    int updating_ = 0;
};

}  // namespace ui::view
