// Shared between the view's source files. Handles travel as void* so that this header
// needs no system header; the .cpp files cast them back.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "platform/text/win32_text.h"
#include "ui/control.h"
#include "ui/geometry.h"
#include "ui/view/control_peer.h"

namespace win32 {

// ---- Conversions --------------------------------------------------------------------

using text::narrow;
using text::widen;
std::uint32_t colorRef(ui::Color c);

// Fonts and brushes made once and kept for the view's lifetime.
class GdiCache {
public:
    GdiCache() = default;
    ~GdiCache();
    GdiCache(const GdiCache&) = delete;
    GdiCache& operator=(const GdiCache&) = delete;

    // The designed font at its designed pixel height times dpi / 96, by face name.
    void* font(const ui::Font& f, int dpi);
    void* brush(ui::Color c);

private:
    std::map<std::tuple<int, int, bool, int>, void*> fonts_;
    std::map<std::uint32_t, void*> brushes_;
};

// An icon made from the program's bitmap resources ("tolvane-16"); null when there is
// none. The caller destroys it.
void* iconFromResource(const std::string& name);

// ---- Peers --------------------------------------------------------------------------

class FormContext;

// Mirrors one control onto its window. The window's user data points back at the peer,
// so that the window procedures of our containers can hand a child's notifications to
// its peer.
class ControlPeer : public ui::view::ControlPeer {
public:
    ControlPeer(ui::Control& control, FormContext& ctx);

    void* hwnd() const { return hwnd_; }
    // Where the windows of child controls go.
    virtual void* container() const { return hwnd_; }
    // The window that takes the keyboard focus for the control (null: none).
    virtual void* focusTarget() const { return hwnd_; }
    // The colour behind the control's children (for transparent labels and buttons).
    virtual ui::Color background() const { return ui::colors::btnFace; }

    // The children's windows have been stacked in tab order.
    virtual void childrenOrdered() {}
    // Re-reads geometry and font after the window's density changed.
    void rescale();

    // Messages the parent window receives for this control: WM_COMMAND notification
    // codes, WM_NOTIFY headers (an LRESULT goes into *result), WM_DRAWITEM.
    virtual void command(int) {}
    virtual bool notify(void*, std::intptr_t*) { return false; }
    virtual void drawItem(void*) {}
    // WM_CTLCOLOR*: the brush for the control's background, having set up the DC.
    virtual void* controlColor(void* dc);
    // Any message to one of the control's windows (`window`: its own or a part hooked
    // to it), before the window's class handles it; true when handled, with the answer
    // in *result.
    virtual bool message(void* window, unsigned msg, std::uintptr_t wp, std::intptr_t lp, std::intptr_t* result);

    // The peer a window belongs to, or null.
    static ControlPeer* of(void* hwnd);

protected:
    void applyVisible() override;
    void applyEnabled() override;
    void applyGeometry() override;
    void applyFont() override;
    void applyHint() override;
    void takeFocus() override;
    void repaint() override;
    // Takes the control's window: points its user data at this peer and hooks its
    // messages (our own classes through their procedure, standard ones by subclassing).
    void setWindow(void* hwnd, bool hooked = true);
    // Points another window of the control (a part of it) at this peer.
    void hook(void* hwnd);
    FormContext& ctx() const;
    void* font() const;
    // The bounds in device pixels, relative to the parent's client area.
    ui::Rect deviceBounds() const;

private:
    void* hwnd_ = nullptr;
};

class FormContext : public ui::view::FormContext {
public:
    ControlPeer* peerOf(const ui::Component& c) override = 0;
    // The window's dots per inch (96 is the designed density).
    virtual int dpi() const = 0;
    virtual GdiCache& gdi() = 0;
    // Shows `text` as the tip of a control's window while the mouse rests on it.
    virtual void setHint(void* hwnd, const std::string& text) = 0;
    // Designed pixels to device pixels, and back.
    int scaled(int v) const;
    int unscaled(int v) const;
};

inline ControlPeer::ControlPeer(ui::Control& control, FormContext& ctx) : ui::view::ControlPeer(control, ctx) {}
inline FormContext& ControlPeer::ctx() const { return static_cast<FormContext&>(ui::view::ControlPeer::ctx()); }

// Registers the view's window classes; once per process.
void registerWindowClasses();
// The class of the view's own control windows, painted and handled by their peers.
inline constexpr wchar_t controlWindowClass[] = L"TolvaneControl";
// Hands WM_COMMAND, WM_NOTIFY, WM_DRAWITEM and WM_CTLCOLOR* to the child's peer;
// true when the message was one of them and *result holds the answer.
bool routeToChild(void* hwnd, unsigned msg, std::uintptr_t wp, std::intptr_t lp, std::intptr_t* result);

// The peer for a control of any kind, its window made as a child of `parent`.
// Returns null for kinds that have no window.
std::unique_ptr<ui::view::ControlPeer> makeControlPeer(ui::Control& control, void* parent, FormContext& ctx);

// Class names of the view's own windows.
inline constexpr wchar_t mainWindowClass[] = L"TolvaneMainWindow";
inline constexpr wchar_t formWindowClass[] = L"TolvaneWindow";
inline constexpr wchar_t ownerWindowClass[] = L"TolvaneApplication";

}  // namespace win32
