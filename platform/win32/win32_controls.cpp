// What the peers of every kind share: the window procedure and subclassing that hand
// a control's messages to its peer, the window taking the control's common state, the
// routing of a child's notifications, the window classes, and the factory that picks
// each kind's peer (the peers themselves are in one file a family:
// win32_text_controls.cpp, win32_buttons.cpp, win32_containers.cpp,
// win32_drawn_controls.cpp).
#include <windows.h>
//
#include <commctrl.h>

#include <string_view>

#include "platform/win32/win32_peers.h"
#include "ui/view/peer_factory.h"

namespace win32 {
namespace {

constexpr wchar_t peerProperty[] = L"TolvanePeer";
constexpr UINT_PTR subclassId = 1;

// A focus change that comes with the window being activated or deactivated (the other
// window is not in the same top-level window) moves no focus between controls and is
// not reported.
bool sameTopLevel(HWND a, HWND b) { return a && b && GetAncestor(a, GA_ROOT) == GetAncestor(b, GA_ROOT); }

bool hookMessage(ControlPeer* peer, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    if ((msg == WM_SETFOCUS || msg == WM_KILLFOCUS) && sameTopLevel(hwnd, reinterpret_cast<HWND>(wp)))
        peer->reportFocus(msg == WM_SETFOCUS);
    if (msg == WM_NCDESTROY) {
        RemovePropW(hwnd, peerProperty);
        return false;
    }
    std::intptr_t answer = 0;
    if (!peer->message(hwnd, msg, wp, lp, &answer)) return false;
    *result = answer;
    return true;
}

LRESULT CALLBACK peerSubclass(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    LRESULT result = 0;
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, peerSubclass, subclassId);
    if (hookMessage(reinterpret_cast<ControlPeer*>(data), hwnd, msg, wp, lp, &result)) return result;
    return DefSubclassProc(hwnd, msg, wp, lp);
}

LRESULT CALLBACK controlProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT result = 0;
    if (routeToChild(hwnd, msg, wp, lp, &result)) return result;
    if (ControlPeer* peer = ControlPeer::of(hwnd); peer && hookMessage(peer, hwnd, msg, wp, lp, &result)) return result;
    return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

HWND makeChild(const wchar_t* cls, DWORD style, DWORD exStyle, void* parent) {
    return CreateWindowExW(exStyle, cls, L"", WS_CHILD | WS_CLIPSIBLINGS | style, 0, 0, 0, 0, H(parent), nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

void setText(HWND hwnd, const std::string& text) {
    const std::wstring w = widen(text);
    SetWindowTextW(hwnd, w.c_str());
}

// ---- ControlPeer ----------------------------------------------------------------------

ControlPeer* ControlPeer::of(void* hwnd) {
    return hwnd ? static_cast<ControlPeer*>(GetPropW(H(hwnd), peerProperty)) : nullptr;
}

void ControlPeer::setWindow(void* hwnd, bool hooked) {
    hwnd_ = hwnd;
    if (hooked) hook(hwnd);
}

void ControlPeer::hook(void* hwnd) {
    SetPropW(H(hwnd), peerProperty, this);
    wchar_t cls[64] = {};
    GetClassNameW(H(hwnd), cls, 64);
    if (std::wstring_view(cls) != controlWindowClass)
        SetWindowSubclass(H(hwnd), peerSubclass, subclassId, reinterpret_cast<DWORD_PTR>(this));
}

void ControlPeer::rescale() {
    Updating guard(*this);
    applyGeometry();
    applyFont();
    apply(ui::Change::Font);
    childGeometryChanged();
}

void ControlPeer::applyHint() {
    if (control().showHint() && !control().hint().empty()) ctx().setHint(hwnd_, control().hint());
}

void ControlPeer::takeFocus() {
    if (void* target = focusTarget()) SetFocus(H(target));
}

void ControlPeer::repaint() { InvalidateRect(H(hwnd_), nullptr, FALSE); }

void* ControlPeer::controlColor(void* dc) {
    SetTextColor(D(dc), colorRef(control().font().color));
    SetBkColor(D(dc), colorRef(background()));
    return ctx().gdi().brush(background());
}

bool ControlPeer::message(void*, unsigned, std::uintptr_t, std::intptr_t, std::intptr_t*) { return false; }

void ControlPeer::applyVisible() { ShowWindow(H(hwnd_), control().visible() ? SW_SHOWNA : SW_HIDE); }

void ControlPeer::applyEnabled() { EnableWindow(H(hwnd_), control().enabled()); }

ui::Rect ControlPeer::deviceBounds() const {
    const ui::Rect b = control().bounds();
    return {ctx().scaled(b.left), ctx().scaled(b.top), ctx().scaled(b.right), ctx().scaled(b.bottom)};
}

void ControlPeer::applyGeometry() {
    const ui::Rect b = deviceBounds();
    SetWindowPos(H(hwnd_), nullptr, b.left, b.top, b.width(), b.height(), SWP_NOZORDER | SWP_NOACTIVATE);
}

void ControlPeer::applyFont() { SendMessageW(H(hwnd_), WM_SETFONT, reinterpret_cast<WPARAM>(font()), TRUE); }

void* ControlPeer::font() const { return ctx().gdi().font(control().font(), ctx().dpi()); }

// ---- Routing, classes ------------------------------------------------------------------

bool routeToChild(void* hwnd, unsigned msg, std::uintptr_t wp, std::intptr_t lp, std::intptr_t* result) {
    (void)hwnd;
    switch (msg) {
    case WM_COMMAND:
        if (ControlPeer* p = ControlPeer::of(reinterpret_cast<HWND>(lp))) {
            p->command(HIWORD(wp));
            *result = 0;
            return true;
        }
        return false;
    case WM_NOTIFY: {
        const auto* nm = reinterpret_cast<NMHDR*>(lp);
        ControlPeer* p = ControlPeer::of(nm->hwndFrom);
        return p && p->notify(reinterpret_cast<void*>(lp), result);
    }
    case WM_DRAWITEM: {
        auto* di = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
        ControlPeer* p = di->CtlType == ODT_MENU ? nullptr : ControlPeer::of(di->hwndItem);
        if (!p) return false;
        p->drawItem(di);
        *result = TRUE;
        return true;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
        if (ControlPeer* p = ControlPeer::of(reinterpret_cast<HWND>(lp))) {
            *result = reinterpret_cast<std::intptr_t>(p->controlColor(reinterpret_cast<void*>(wp)));
            return *result != 0;
        }
        return false;
    default: return false;
    }
}

void registerWindowClasses() {
    static const bool done = [] {
        INITCOMMONCONTROLSEX icc{sizeof icc,
                                 ICC_TAB_CLASSES | ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
        InitCommonControlsEx(&icc);
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = controlProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.lpszClassName = controlWindowClass;
        RegisterClassExW(&wc);
        return true;
    }();
    (void)done;
}

std::unique_ptr<ui::view::ControlPeer> makeControlPeer(ui::Control& c, void* parent, FormContext& ctx) {
    return ui::view::PeerFactoryFor<void*, FormContext>(parent, ctx).make(c);
}

}  // namespace win32
