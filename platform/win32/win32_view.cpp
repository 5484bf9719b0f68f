// Top-level windows, menus, tab order, the application title on the task bar and in
// the tray, and the conversions the view's files share.
#include "platform/win32/win32_view.h"

#include <windows.h>
//
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cwctype>
#include <unordered_map>
#include <vector>

#include "platform/win32/win32_internal.h"
#include "ui/application.h"
#include "ui/canvas.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/view/form_binding.h"

namespace win32 {

// ---- Conversions ------------------------------------------------------------------------

std::uint32_t colorRef(ui::Color c) { return RGB(c.r, c.g, c.b); }

GdiCache::~GdiCache() {
    for (auto& [key, font] : fonts_) DeleteObject(static_cast<HFONT>(font));
    for (auto& [key, brush] : brushes_) DeleteObject(static_cast<HBRUSH>(brush));
}

void* GdiCache::font(const ui::Font& f, int dpi) {
    const auto key = std::make_tuple(static_cast<int>(f.family), f.pointSize, f.bold, dpi);
    if (auto it = fonts_.find(key); it != fonts_.end()) return it->second;
    const bool serif = f.family == ui::FontFamily::Serif;
    // A negative height asks for the character height, which is what the design gives.
    HFONT font =
        CreateFontW(-MulDiv(f.pixelHeight(), dpi, 96), 0, 0, 0, f.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                    serif ? ANSI_CHARSET : DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                    VARIABLE_PITCH | (serif ? FF_ROMAN : FF_SWISS), serif ? L"Times New Roman" : L"MS Sans Serif");
    fonts_.emplace(key, font);
    return font;
}

void* GdiCache::brush(ui::Color c) {
    const std::uint32_t key = colorRef(c);
    if (auto it = brushes_.find(key); it != brushes_.end()) return it->second;
    HBRUSH brush = CreateSolidBrush(key);
    brushes_.emplace(key, brush);
    return brush;
}

void* iconFromResource(const std::string& name) {
    const ui::Bitmap& bmp = ui::resourceBitmap(name);
    if (bmp.empty()) return nullptr;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = bmp.width();
    bi.bmiHeader.biHeight = -bmp.height();
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP color = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!color) return nullptr;
    auto* px = static_cast<std::uint32_t*>(bits);
    for (const ui::Color c : bmp.pixels())
        *px++ = 0xFF000000u | (std::uint32_t(c.r) << 16) | (std::uint32_t(c.g) << 8) | c.b;
    // Every pixel opaque: a mask of zeros, rows padded to 16 bits.
    const std::vector<std::uint8_t> zeros(static_cast<std::size_t>((bmp.width() + 15) / 16 * 2 * bmp.height()), 0);
    HBITMAP mask = CreateBitmap(bmp.width(), bmp.height(), 1, 1, zeros.data());
    ICONINFO info{TRUE, 0, 0, mask, color};
    HICON icon = CreateIconIndirect(&info);
    DeleteObject(mask);
    DeleteObject(color);
    return icon;
}

int FormContext::scaled(int v) const { return MulDiv(v, dpi(), 96); }
int FormContext::unscaled(int v) const { return MulDiv(v, 96, dpi()); }

namespace {

HWND H(void* p) { return static_cast<HWND>(p); }

// Copies as much of `text` as fits into a fixed field with its terminating NUL, never
// splitting a surrogate pair.
template <std::size_t N>
void copyFitting(const std::string& text, wchar_t (&field)[N]) {
    std::wstring wide = widen(text);
    if (wide.size() > N - 1) {
        wide.resize(N - 1);
        if (wide.back() >= 0xD800 && wide.back() <= 0xDBFF) wide.pop_back();
    }
    std::copy(wide.begin(), wide.end(), field);
    field[wide.size()] = L'\0';
}

constexpr UINT trayMessage = WM_APP + 1;
constexpr UINT firstMenuId = 1000;

// Functions of newer systems, looked up at run time.
template <class Fn>
Fn user32(const char* name) {
    const FARPROC proc = GetProcAddress(GetModuleHandleW(L"user32.dll"), name);
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc));
}

int dpiOf(HWND hwnd) {
    static const auto forWindow = user32<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    if (forWindow && hwnd) {
        if (const UINT dpi = forWindow(hwnd)) return static_cast<int>(dpi);
    }
    HDC dc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : 96;
}

void adjustWindowRect(RECT& r, DWORD style, bool menu, DWORD exStyle, int dpi) {
    static const auto forDpi = user32<BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    if (forDpi)
        forDpi(&r, style, menu, exStyle, static_cast<UINT>(dpi));
    else
        AdjustWindowRectEx(&r, style, menu, exStyle);
}

// The letter after a caption's single '&', lower-cased; 0 when there is none.
wchar_t mnemonicOf(const std::string& caption) {
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] != '&')
            return static_cast<wchar_t>(std::towlower(static_cast<unsigned char>(caption[i + 1])));
        ++i;
    }
    return 0;
}

class MenuPeer : public ui::view::MenuPeer {
public:
    MenuPeer(ui::MenuItem& item, HMENU menu, UINT id) : ui::view::MenuPeer(item), menu_(menu), id_(id) {}
    void sync() override { CheckMenuItem(menu_, id_, MF_BYCOMMAND | (item().checked() ? MF_CHECKED : MF_UNCHECKED)); }
    UINT id() const { return id_; }

private:
    HMENU menu_;
    UINT id_;
};

LRESULT CALLBACK formProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
LRESULT CALLBACK ownerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

}  // namespace

struct FormEntry;

struct Win32View::Impl {
    explicit Impl(Win32View& view);
    ~Impl();

    FormEntry* findWindow(HWND hwnd) const;
    FormEntry* mainEntry() const;
    void applyTitle();
    void updateTray();
    bool showNotice(const std::string& text);
    void showMainWindow();
    bool mnemonic(FormEntry& entry, ui::Control& parent, wchar_t key);
    void modalLoop(bool entered) {
        if (view.onModalLoop) view.onModalLoop(entered);
    }

    Win32View& view;
    ui::view::FormList<FormEntry> forms;
    GdiCache gdi;
    std::string title;
    HWND owner = nullptr;  // the task-bar button's window, owner of every form
    HICON ownerIcons[2] = {};
    HICON trayIcon = nullptr;
    bool trayShown = false;
};

struct FormEntry : public FormContext, public ui::view::FormBinding {
    FormEntry(Win32View::Impl& view, ui::Form& form) : FormBinding(form), view(view) {}
    ~FormEntry() override {
        for (HICON icon : icons)
            if (icon) DestroyIcon(icon);
    }

    ui::Application& application() override { return form().application(); }
    void dispatch(const std::function<void()>& event) override { FormBinding::dispatch(event); }
    ControlPeer* peerOf(const ui::Component& c) override { return static_cast<ControlPeer*>(peer(c)); }
    int dpi() const override { return dpiValue; }
    GdiCache& gdi() override { return view.gdi; }
    void setHint(void* control, const std::string& text) override {
        if (!tips) {
            tips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
        }
        std::wstring tip = widen(text);
        TTTOOLINFOW info{};
        info.cbSize = sizeof info;
        info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        info.hwnd = hwnd;
        info.uId = reinterpret_cast<UINT_PTR>(control);
        info.lpszText = tip.data();
        SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }

    void attach();
    void buildMenu(ui::MenuItem& item, HMENU menu);
    void stackInTabOrder(ui::Control& parent);

    Win32View::Impl& view;
    HWND hwnd = nullptr;
    HWND tips = nullptr;  // owned by the form's window
    DWORD style = 0;
    DWORD exStyle = 0;
    int dpiValue = 96;
    HICON icons[2] = {};

protected:
    std::unique_ptr<ui::view::ControlPeer> makePeer(ui::Control& c, ui::view::ControlPeer& parent) override {
        return makeControlPeer(c, static_cast<ControlPeer&>(parent).container(), *this);
    }
    void orderTabs() override { stackInTabOrder(form()); }
    void showTitle() override { view.applyTitle(); }
    void destroyWindow() override {
        DestroyWindow(hwnd);
        hwnd = nullptr;
    }
};

namespace {

// The form itself: a top-level window whose client area is the form's bounds.
class FormPeer : public ControlPeer {
public:
    FormPeer(ui::Form& form, FormEntry& entry) : ControlPeer(form, entry), form_(form), entry_(entry) {
        setWindow(entry.hwnd, false);
    }

    void* focusTarget() const override { return nullptr; }

protected:
    void applyGeometry() override {
        const ui::Rect b = form_.bounds();
        const int width = entry_.scaled(b.width());
        const int height = entry_.scaled(b.height());
        RECT r{b.left, b.top, b.left + width, b.top + height};
        adjustWindowRect(r, entry_.style, form_.menu() != nullptr, entry_.exStyle, entry_.dpiValue);
        SetWindowPos(entry_.hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        // A menu bar that needs more than one row takes the difference from the client.
        RECT client;
        GetClientRect(entry_.hwnd, &client);
        if (client.right != width || client.bottom != height)
            SetWindowPos(entry_.hwnd, nullptr, 0, 0, r.right - r.left + width - client.right,
                         r.bottom - r.top + height - client.bottom, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    }
    void applyVisible() override {
        if (form_.visible() && form_.minimisedShow()) {
            // Started with the session: on the task bar, leaving the focus where it is.
            // The main window's button is the owner's, so the owner is what is
            // minimised, as when the user minimises the main window.
            if (entry_.isMain() && entry_.view.owner) {
                ShowWindow(entry_.hwnd, SW_SHOWNA);
                ShowWindow(entry_.view.owner, SW_SHOWMINNOACTIVE);
            } else {
                ShowWindow(entry_.hwnd, SW_SHOWMINNOACTIVE);
            }
        } else if (form_.visible()) {
            if (entry_.isMain() && entry_.view.owner) ShowWindow(entry_.view.owner, SW_SHOWNA);
            ShowWindow(entry_.hwnd, SW_SHOW);
        } else {
            ShowWindow(entry_.hwnd, SW_HIDE);
        }
    }
    // A disabled form takes no input but keeps its look, as under a modal box.
    void applyEnabled() override { EnableWindow(entry_.hwnd, form_.enabled()); }
    void applyFont() override {}
    void apply(ui::Change what) override {
        if (what == ui::Change::Text) {
            const std::wstring caption = widen(form_.caption());
            SetWindowTextW(entry_.hwnd, caption.c_str());
        } else if (what == ui::Change::Activate) {
            if (!form_.visible()) return;
            if (IsIconic(entry_.view.owner)) ShowWindow(entry_.view.owner, SW_RESTORE);
            if (IsIconic(entry_.hwnd)) ShowWindow(entry_.hwnd, SW_RESTORE);
            ShowWindow(entry_.hwnd, SW_SHOW);
            SetForegroundWindow(entry_.hwnd);
            SetActiveWindow(entry_.hwnd);
        }
    }

private:
    ui::Form& form_;
    FormEntry& entry_;
};

LRESULT CALLBACK formProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* entry = static_cast<FormEntry*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(entry));
    } else if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    }
    auto* entry = reinterpret_cast<FormEntry*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!entry) return DefWindowProcW(hwnd, msg, wp, lp);
    std::intptr_t result = 0;
    if (routeToChild(hwnd, msg, wp, lp, &result)) return result;
    switch (msg) {
    case WM_ERASEBKGND: {
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(reinterpret_cast<HDC>(wp), &r, static_cast<HBRUSH>(entry->gdi().brush(ui::colors::btnFace)));
        return 1;
    }
    case WM_CLOSE:
        // The model decides what closing means (the main form ends the program).
        if (entry->form().enabled()) entry->dispatch([entry] { entry->form().close(); });
        return 0;
    case WM_ACTIVATE:
        if (entry->detaching()) break;
        if (LOWORD(wp) != WA_INACTIVE) {
            entry->form().activated();
            // The focus goes back to the control that had it when the window was left
            // (for a box or the file dialog, say), not to the window itself.
            if (ui::Control* had = entry->form().focusedControl(); had && !HIWORD(wp)) {
                const ControlPeer* peer = entry->peerOf(*had);
                if (HWND target = peer ? H(peer->focusTarget()) : nullptr; target && IsWindowVisible(target)) {
                    SetFocus(target);
                    return 0;
                }
            }
        } else if (!entry->view.findWindow(reinterpret_cast<HWND>(lp)) && entry->form().active()) {
            // The user went to another program: none of ours is active now.
            entry->form().application().setActiveForm(nullptr);
        }
        break;
    case WM_COMMAND:
        if (HIWORD(wp) == 0 && lp == 0) {
            for (const auto& m : entry->menus()) {
                auto& menu = static_cast<MenuPeer&>(*m);
                if (menu.id() != LOWORD(wp) || !menu.item().items().empty()) continue;
                entry->menuChosen(menu);
                return 0;
            }
        }
        break;
    case WM_ENTERMENULOOP:
    case WM_ENTERSIZEMOVE: entry->view.modalLoop(true); break;
    case WM_EXITMENULOOP:
    case WM_EXITSIZEMOVE: entry->view.modalLoop(false); break;
    case WM_SYSCOMMAND:
        // The task-bar button belongs to the owner window: minimising the main window
        // minimises the button, and with it every window it owns.
        if ((wp & 0xFFF0) == SC_MINIMIZE && entry->isMain() && entry->view.owner) {
            ShowWindow(entry->view.owner, SW_MINIMIZE);
            return 0;
        }
        break;
    case WM_DPICHANGED:
        entry->dpiValue = HIWORD(wp);
        for (ui::view::ControlPeer* peer : entry->controls()) static_cast<ControlPeer*>(peer)->rescale();
        if (ControlPeer* root = entry->peerOf(entry->form())) root->rescale();
        return 0;
    default: break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK ownerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* impl = reinterpret_cast<Win32View::Impl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!impl) return DefWindowProcW(hwnd, msg, wp, lp);
    switch (msg) {
    case trayMessage:
        switch (LOWORD(lp)) {
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case NIN_SELECT:
        case NIN_KEYSELECT: impl->showMainWindow(); break;
        default: break;
        }
        return 0;
    case WM_SIZE:
        if (wp == SIZE_RESTORED) impl->showMainWindow();
        break;
    case WM_ACTIVATE:
        // Picking the task-bar button activates the main window.
        if (LOWORD(wp) != WA_INACTIVE && !IsIconic(hwnd)) {
            if (FormEntry* main = impl->mainEntry(); main && IsWindowVisible(main->hwnd)) {
                SetActiveWindow(main->hwnd);
                return 0;
            }
        }
        break;
    case WM_CLOSE:
        if (FormEntry* main = impl->mainEntry()) PostMessageW(main->hwnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_ENDSESSION:
        // Sent to every top-level window: this one speaks for the program.
        if (wp && impl->view.onSessionEnd) impl->view.onSessionEnd();
        return 0;
    default: break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void registerViewClasses() {
    static const bool done = [] {
        registerWindowClasses();
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.lpfnWndProc = formProc;
        for (const wchar_t* name : {mainWindowClass, formWindowClass}) {
            wc.lpszClassName = name;
            RegisterClassExW(&wc);
        }
        wc.lpfnWndProc = ownerProc;
        wc.lpszClassName = ownerWindowClass;
        RegisterClassExW(&wc);
        return true;
    }();
    (void)done;
}

}  // namespace

// ---- Win32View::Impl ------------------------------------------------------------------

Win32View::Impl::Impl(Win32View& v) : view(v) {
    registerViewClasses();
    // A window of no size, shown: it carries the task-bar button and its text is the
    // application title, while the main window keeps its own caption.
    owner = CreateWindowExW(0, ownerWindowClass, L"", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, 0, 0,
                            nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(owner, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32View::Impl::~Impl() {
    forms.detachAll();
    if (trayShown) {
        NOTIFYICONDATAW nid{};
        nid.cbSize = sizeof nid;
        nid.hWnd = owner;
        nid.uID = 1;
        Shell_NotifyIconW(NIM_DELETE, &nid);
    }
    if (trayIcon) DestroyIcon(trayIcon);
    SetWindowLongPtrW(owner, GWLP_USERDATA, 0);
    DestroyWindow(owner);
    for (HICON icon : ownerIcons)
        if (icon) DestroyIcon(icon);
}

FormEntry* Win32View::Impl::findWindow(HWND hwnd) const {
    if (!hwnd) return nullptr;
    const HWND root = GetAncestor(hwnd, GA_ROOT);
    for (const auto& f : forms) {
        if (f->hwnd == root) return f.get();
    }
    return nullptr;
}

FormEntry* Win32View::Impl::mainEntry() const {
    for (const auto& f : forms) {
        if (f->isMain()) return f.get();
    }
    return nullptr;
}

void FormEntry::attach() {
    ui::Form& f = form();
    const bool tool = f.borderStyle() == ui::BorderStyle::Tool;
    style = WS_CLIPCHILDREN | WS_CAPTION | (tool ? WS_POPUP : WS_OVERLAPPED | WS_SYSMENU | WS_MINIMIZEBOX);
    exStyle = WS_EX_CONTROLPARENT | (tool ? WS_EX_TOOLWINDOW : 0);
    hwnd = CreateWindowExW(exStyle, isMain() ? mainWindowClass : formWindowClass, L"", style, CW_USEDEFAULT,
                           CW_USEDEFAULT, 100, 100, view.owner, nullptr, GetModuleHandleW(nullptr), this);
    dpiValue = dpiOf(hwnd);
    if (!f.icon().empty()) {
        // The small icon by its name, the large one at twice its size.
        const std::string& small = f.icon();
        const std::size_t dash = small.rfind('-');
        const std::string large = dash == std::string::npos ? small : small.substr(0, dash + 1) + "32";
        icons[0] = static_cast<HICON>(iconFromResource(small));
        icons[1] = static_cast<HICON>(iconFromResource(large));
        SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icons[0]));
        SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icons[1]));
        if (isMain() && !view.ownerIcons[0]) {
            view.ownerIcons[0] = static_cast<HICON>(iconFromResource(small));
            view.ownerIcons[1] = static_cast<HICON>(iconFromResource(large));
            SendMessageW(view.owner, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(view.ownerIcons[0]));
            SendMessageW(view.owner, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(view.ownerIcons[1]));
        }
    }
    if (ui::MainMenu* menu = f.menu()) {
        HMENU bar = CreateMenu();
        for (ui::MenuItem* item : menu->items()) buildMenu(*item, bar);
        SetMenu(hwnd, bar);
    }

    bind(std::make_unique<FormPeer>(f, *this), [this] { view.forms.detach(*this); });
}

void FormEntry::buildMenu(ui::MenuItem& item, HMENU menu) {
    if (item.isSeparator()) {
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        return;
    }
    const std::wstring caption = widen(item.caption());
    UINT_PTR id = firstMenuId + menus().size();
    UINT flags = MF_STRING;
    if (!item.items().empty()) {
        HMENU sub = CreatePopupMenu();
        for (ui::MenuItem* child : item.items()) buildMenu(*child, sub);
        id = reinterpret_cast<UINT_PTR>(sub);
        flags |= MF_POPUP;
    }
    AppendMenuW(menu, flags, id, caption.c_str());
    if (flags & MF_POPUP) return;
    addMenu(std::make_unique<MenuPeer>(item, menu, static_cast<UINT>(id)));
}

// Siblings are stacked in the keyboard order, the order in which the system and
// assistive tools walk them (Tab itself follows the shared key rules' order).
void FormEntry::stackInTabOrder(ui::Control& parent) {
    HWND previous = HWND_TOP;
    for (ui::Control* c : ui::view::inTabOrder(parent)) {
        if (ControlPeer* p = peerOf(*c)) {
            const HWND window = H(p->hwnd());
            SetWindowPos(window, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            previous = window;
        }
        stackInTabOrder(*c);
    }
    if (ControlPeer* p = peerOf(parent)) p->childrenOrdered();
}

void Win32View::Impl::applyTitle() {
    if (title.empty()) return;
    const std::wstring text = widen(title);
    SetWindowTextW(owner, text.c_str());
    updateTray();
}

void Win32View::Impl::updateTray() {
    HICON icon = static_cast<HICON>(iconFromResource(ui::view::isArmedTitle(title) ? "tray-armed-16" : "tray-off-16"));
    NOTIFYICONDATAW nid{};
    nid.cbSize = sizeof nid;
    nid.hWnd = owner;
    nid.uID = 1;
    nid.uFlags = NIF_ICON | NIF_TIP | NIF_MESSAGE;
    nid.uCallbackMessage = trayMessage;
    nid.hIcon = icon;
    copyFitting(title, nid.szTip);
    if (Shell_NotifyIconW(trayShown ? NIM_MODIFY : NIM_ADD, &nid)) trayShown = true;
    if (trayIcon) DestroyIcon(trayIcon);
    trayIcon = icon;
}

bool Win32View::Impl::showNotice(const std::string& text) {
    if (!trayShown) return false;
    NOTIFYICONDATAW nid{};
    nid.cbSize = sizeof nid;
    nid.hWnd = owner;
    nid.uID = 1;
    nid.uFlags = NIF_INFO;
    nid.dwInfoFlags = NIIF_INFO;
    copyFitting(text, nid.szInfo);
    copyFitting("Tolvane", nid.szInfoTitle);
    return Shell_NotifyIconW(NIM_MODIFY, &nid) != FALSE;
}

void Win32View::Impl::showMainWindow() {
    FormEntry* main = mainEntry();
    if (!main || !main->form().visible()) return;
    if (IsIconic(owner)) ShowWindow(owner, SW_RESTORE);
    if (IsIconic(main->hwnd)) ShowWindow(main->hwnd, SW_RESTORE);
    ShowWindow(main->hwnd, SW_SHOW);
    SetForegroundWindow(main->hwnd);
    SetActiveWindow(main->hwnd);
}

// Alt and a caption's underlined letter: buttons click, a label focuses the control it
// names, a tab shows its page. Hidden and disabled controls take no part.
bool Win32View::Impl::mnemonic(FormEntry& entry, ui::Control& parent, wchar_t key) {
    for (ui::Control* c : parent.children()) {
        ControlPeer* peer = entry.peerOf(*c);
        if (!peer) continue;
        if (auto* page = dynamic_cast<ui::NotebookPage*>(c); page && mnemonicOf(page->caption()) == key) {
            auto* nb = static_cast<ui::TabbedNotebook*>(page->parent());
            const auto& pages = nb->pages();
            const int index = static_cast<int>(std::find(pages.begin(), pages.end(), page) - pages.begin());
            entry.dispatch([nb, index] { nb->setPageIndex(index); });
            return true;
        }
        if (!IsWindowVisible(H(peer->hwnd())) || !IsWindowEnabled(H(peer->hwnd()))) continue;
        if (auto* b = dynamic_cast<ui::Button*>(c); b && mnemonicOf(b->caption()) == key) {
            entry.dispatch([b] { b->click(); });
            return true;
        }
        if (auto* b = dynamic_cast<ui::CheckBox*>(c); b && mnemonicOf(b->caption()) == key) {
            SetFocus(H(peer->hwnd()));
            entry.dispatch([b] { b->click(); });
            return true;
        }
        if (auto* b = dynamic_cast<ui::RadioButton*>(c); b && mnemonicOf(b->caption()) == key) {
            SetFocus(H(peer->hwnd()));
            entry.dispatch([b] { b->click(); });
            return true;
        }
        if (auto* l = dynamic_cast<ui::Label*>(c); l && l->focusControl() && mnemonicOf(l->caption()) == key) {
            if (ControlPeer* target = entry.peerOf(*l->focusControl()); target && target->focusTarget())
                SetFocus(H(target->focusTarget()));
            return true;
        }
        if (mnemonic(entry, *c, key)) return true;
    }
    return false;
}

namespace {

ui::Key keyOf(WPARAM vk) {
    switch (vk) {
    case VK_LEFT: return ui::Key::Left;
    case VK_RIGHT: return ui::Key::Right;
    case VK_UP: return ui::Key::Up;
    case VK_DOWN: return ui::Key::Down;
    case VK_SPACE: return ui::Key::Space;
    case VK_RETURN: return ui::Key::Return;
    case VK_ESCAPE: return ui::Key::Escape;
    case VK_F4: return ui::Key::F4;
    default: return ui::Key::Other;
    }
}

}  // namespace

// ---- Win32View ----------------------------------------------------------------------------

Win32View::Win32View() : impl_(std::make_unique<Impl>(*this)) {}

Win32View::~Win32View() = default;

void Win32View::attach(ui::Form& form) { impl_->forms.attach(form, *impl_); }

void Win32View::detach(ui::Form& form) {
    if (FormEntry* entry = impl_->forms.find(form)) impl_->forms.detach(*entry);
}

void Win32View::setApplicationTitle(const std::string& title) {
    impl_->title = title;
    impl_->applyTitle();
}

bool Win32View::showNotice(const std::string& text) { return impl_->showNotice(text); }

void Win32View::showMainWindow() { impl_->showMainWindow(); }

void* Win32View::ownerWindow() const {
    for (const auto& f : impl_->forms) {
        if (f->form().active() && f->form().visible()) return f->hwnd;
    }
    FormEntry* active = impl_->findWindow(GetActiveWindow());
    return active ? active->hwnd : nullptr;
}

bool Win32View::preTranslate(void* msg) {
    MSG* m = static_cast<MSG*>(msg);
    FormEntry* entry = impl_->findWindow(m->hwnd);
    if (!entry || !IsWindowEnabled(entry->hwnd)) return false;
    if (m->message == WM_KEYDOWN && m->wParam == VK_TAB && GetKeyState(VK_CONTROL) >= 0 && GetKeyState(VK_MENU) >= 0) {
        const ControlPeer* from = ControlPeer::of(GetFocus());
        const ui::Control* to =
            ui::view::nextTabStop(entry->form(), from ? &from->control() : nullptr, GetKeyState(VK_SHIFT) < 0);
        const ControlPeer* peer = to ? entry->peerOf(*to) : nullptr;
        if (HWND next = peer ? H(peer->focusTarget()) : nullptr) {
            SetFocus(next);
            // An edit box reached by Tab has its text selected, as in a dialog.
            if (SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageW(next, EM_SETSEL, 0, -1);
        }
        return true;
    }
    if (m->message == WM_KEYDOWN || m->message == WM_SYSKEYDOWN) {
        const ui::view::KeyStroke stroke{keyOf(m->wParam), GetKeyState(VK_CONTROL) < 0, GetKeyState(VK_MENU) < 0,
                                         (m->lParam & (1L << 30)) != 0};
        ControlPeer* focused = ControlPeer::of(GetFocus());
        return entry->keyPressed(focused ? &focused->control() : nullptr, stroke);
    }
    if (m->message == WM_KEYUP || m->message == WM_SYSKEYUP) return entry->keyReleased(keyOf(m->wParam));
    if (m->message == WM_SYSCHAR) {
        const auto key = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(m->wParam)));
        return impl_->mnemonic(*entry, entry->form(), key);
    }
    return false;
}

void* Win32View::window(const ui::Form& form) const {
    FormEntry* entry = impl_->forms.find(form);
    return entry ? entry->hwnd : nullptr;
}

void* Win32View::widget(const ui::Component& control) const {
    for (const auto& f : impl_->forms) {
        if (ControlPeer* p = f->peerOf(control)) return p->hwnd();
    }
    return nullptr;
}

}  // namespace win32
