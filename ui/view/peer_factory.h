// Which peer a control gets. A desktop says how to make the peer of each kind of
// control; the order in which the kinds are told apart is kept here, once.
#pragma once

#include <memory>

#include "ui/view/control_peer.h"

namespace ui {
class Button;
class CheckBox;
class CustomControl;
class Edit;
class Label;
class Memo;
class NotebookPage;
class Panel;
class RadioButton;
class ScrollBox;
class Shape;
class TabbedNotebook;
class UpDown;
}  // namespace ui

namespace ui::view {

class PeerFactory {
public:
    virtual ~PeerFactory() = default;

    // The peer for a control of any kind; null for kinds the desktop shows nothing for.
    std::unique_ptr<ControlPeer> make(ui::Control& control);

protected:
    virtual std::unique_ptr<ControlPeer> custom(ui::CustomControl&) = 0;
    virtual std::unique_ptr<ControlPeer> label(ui::Label&) = 0;
    virtual std::unique_ptr<ControlPeer> shape(ui::Shape&) = 0;
    virtual std::unique_ptr<ControlPeer> panel(ui::Panel&) = 0;
    virtual std::unique_ptr<ControlPeer> notebook(ui::TabbedNotebook&) = 0;
    virtual std::unique_ptr<ControlPeer> page(ui::NotebookPage&) = 0;
    virtual std::unique_ptr<ControlPeer> button(ui::Button&) = 0;
    virtual std::unique_ptr<ControlPeer> edit(ui::Edit&) = 0;
    virtual std::unique_ptr<ControlPeer> upDown(ui::UpDown&) = 0;
    virtual std::unique_ptr<ControlPeer> checkBox(ui::CheckBox&) = 0;
    virtual std::unique_ptr<ControlPeer> radioButton(ui::RadioButton&) = 0;
    virtual std::unique_ptr<ControlPeer> scrollBox(ui::ScrollBox&) = 0;
    virtual std::unique_ptr<ControlPeer> memo(ui::Memo&) = 0;
};

// The factory of a desktop that makes each kind's peer with an overload of
// `makePeer(kind&, Parent, Context&)` in its own namespace (found there through the
// context's type).
template <class Parent, class Context>
class PeerFactoryFor final : public PeerFactory {
public:
    PeerFactoryFor(Parent parent, Context& ctx) : parent_(parent), ctx_(ctx) {}

protected:
    std::unique_ptr<ControlPeer> custom(ui::CustomControl& c) override { return makePeer(c, parent_, ctx_); }
    std::unique_ptr<ControlPeer> label(ui::Label& c) override { return makePeer(c, parent_, ctx_); }
    std::unique_ptr<ControlPeer> shape(ui::Shape& c) override { return makePeer(c, parent_, ctx_); }
    std::unique_ptr<ControlPeer> panel(ui::Panel& c) override { return makePeer(c, parent_, ctx_); }
    std::unique_ptr<ControlPeer> notebook(ui::TabbedNotebook& c) override { return makePeer(c, parent_, ctx_); }
    std::unique_ptr<ControlPeer> page(ui::NotebookPage& c) override { return makePeer(c, parent_, ctx_); }
    std::unique_ptr<ControlPeer> button(ui::Button& c) override { return makePeer(c, parent_, ctx_); }
    std::unique_ptr<ControlPeer> edit(ui::Edit& c) override { return makePeer(c, parent_, ctx_); }
    std::unique_ptr<ControlPeer> upDown(ui::UpDown& c) override { return makePeer(c, parent_, ctx_); }
    std::unique_ptr<ControlPeer> checkBox(ui::CheckBox& c) override { return makePeer(c, parent_, ctx_); }
    std::unique_ptr<ControlPeer> radioButton(ui::RadioButton& c) override { return makePeer(c, parent_, ctx_); }
    std::unique_ptr<ControlPeer> scrollBox(ui::ScrollBox& c) override { return makePeer(c, parent_, ctx_); }
    std::unique_ptr<ControlPeer> memo(ui::Memo& c) override { return makePeer(c, parent_, ctx_); }

private:
    Parent parent_;
    Context& ctx_;
};

}  // namespace ui::view
