// Shared by the files of the control peers, one file a family of controls: how each
// kind's peer is made, for the factory in win32_controls.cpp, and what several families
// use. Unlike win32_internal.h it includes the system header.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "platform/win32/win32_internal.h"
#include "ui/controls.h"

namespace win32 {

// The handles that travel as void*, cast back.
inline HWND H(void* p) { return static_cast<HWND>(p); }
inline HDC D(void* p) { return static_cast<HDC>(p); }
inline HBRUSH B(void* p) { return static_cast<HBRUSH>(p); }

// A child window of class `cls`, not yet placed, with no text.
HWND makeChild(const wchar_t* cls, DWORD style, DWORD exStyle, void* parent);

inline DWORD tabStopStyle(const ui::Control& c) { return c.tabStop() ? WS_TABSTOP : 0; }

// Sets a window's text from UTF-8.
void setText(HWND hwnd, const std::string& text);

// The client point of a mouse message.
inline POINT pointOf(LPARAM lp) { return {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))}; }

// The peer of each kind of control, its window made as a child of `parent`.

// win32_text_controls.cpp
std::unique_ptr<ui::view::ControlPeer> makePeer(ui::Label& label, void* parent, FormContext& ctx);
std::unique_ptr<ui::view::ControlPeer> makePeer(ui::Edit& edit, void* parent, FormContext& ctx);
std::unique_ptr<ui::view::ControlPeer> makePeer(ui::Memo& memo, void* parent, FormContext& ctx);

// win32_buttons.cpp
std::unique_ptr<ui::view::ControlPeer> makePeer(ui::Button& button, void* parent, FormContext& ctx);
std::unique_ptr<ui::view::ControlPeer> makePeer(ui::CheckBox& box, void* parent, FormContext& ctx);
std::unique_ptr<ui::view::ControlPeer> makePeer(ui::RadioButton& radio, void* parent, FormContext& ctx);

// win32_containers.cpp
std::unique_ptr<ui::view::ControlPeer> makePeer(ui::Panel& panel, void* parent, FormContext& ctx);
std::unique_ptr<ui::view::ControlPeer> makePeer(ui::TabbedNotebook& nb, void* parent, FormContext& ctx);
std::unique_ptr<ui::view::ControlPeer> makePeer(ui::NotebookPage& page, void* parent, FormContext& ctx);
std::unique_ptr<ui::view::ControlPeer> makePeer(ui::ScrollBox& box, void* parent, FormContext& ctx);

// win32_drawn_controls.cpp
std::unique_ptr<ui::view::ControlPeer> makePeer(ui::Shape& shape, void* parent, FormContext& ctx);
std::unique_ptr<ui::view::ControlPeer> makePeer(ui::UpDown& updown, void* parent, FormContext& ctx);
std::unique_ptr<ui::view::ControlPeer> makePeer(ui::CustomControl& control, void* parent, FormContext& ctx);

}  // namespace win32
