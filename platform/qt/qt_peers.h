// Shared by the files of the control peers, one file a family of controls: how each
// kind's peer is made, for the factory in qt_controls.cpp, and what several families use.
#pragma once

#include <Qt>

#include <memory>

#include "platform/qt/view_internal.h"
#include "ui/controls.h"

namespace qt {

// A control in the tab order takes the focus from Tab and from clicks, any other from
// clicks only.
inline Qt::FocusPolicy focusPolicyFor(const ui::Control& c) { return c.tabStop() ? Qt::StrongFocus : Qt::ClickFocus; }

// The peer of each kind of control, its widget made as a child of `parent`.

// qt_text_controls.cpp
std::unique_ptr<ui::view::ControlPeer> makePeer(ui::Label& label, QWidget* parent, FormContext& ctx);
std::unique_ptr<ui::view::ControlPeer> makePeer(ui::Edit& edit, QWidget* parent, FormContext& ctx);
std::unique_ptr<ui::view::ControlPeer> makePeer(ui::Memo& memo, QWidget* parent, FormContext& ctx);

// qt_buttons.cpp
std::unique_ptr<ui::view::ControlPeer> makePeer(ui::Button& button, QWidget* parent, FormContext& ctx);
std::unique_ptr<ui::view::ControlPeer> makePeer(ui::CheckBox& box, QWidget* parent, FormContext& ctx);
std::unique_ptr<ui::view::ControlPeer> makePeer(ui::RadioButton& radio, QWidget* parent, FormContext& ctx);

// qt_containers.cpp
std::unique_ptr<ui::view::ControlPeer> makePeer(ui::Panel& panel, QWidget* parent, FormContext& ctx);
std::unique_ptr<ui::view::ControlPeer> makePeer(ui::TabbedNotebook& nb, QWidget* parent, FormContext& ctx);
std::unique_ptr<ui::view::ControlPeer> makePeer(ui::NotebookPage& page, QWidget* parent, FormContext& ctx);
std::unique_ptr<ui::view::ControlPeer> makePeer(ui::ScrollBox& box, QWidget* parent, FormContext& ctx);

// qt_drawn_controls.cpp
std::unique_ptr<ui::view::ControlPeer> makePeer(ui::Shape& shape, QWidget* parent, FormContext& ctx);
std::unique_ptr<ui::view::ControlPeer> makePeer(ui::UpDown& updown, QWidget* parent, FormContext& ctx);
std::unique_ptr<ui::view::ControlPeer> makePeer(ui::CustomControl& control, QWidget* parent, FormContext& ctx);

}  // namespace qt
