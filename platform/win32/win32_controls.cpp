// Native windows for the control kinds, and the peers that keep them in step with the
// model.
#include <windows.h>
//
#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <optional>
#include <utility>
#include <vector>

#include "platform/win32/win32_internal.h"
#include "ui/application.h"
#include "ui/canvas.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/message_queue.h"

namespace win32ui {
namespace {

namespace colors = ui::colors;

constexpr wchar_t peerProperty[] = L"TolvanePeer";
constexpr UINT_PTR subclassId = 1;
// The pages sit inside the tab control's border, this far from the notebook's edges.
constexpr int pageInset = 4;

HWND H(void* p) { return static_cast<HWND>(p); }
HDC D(void* p) { return static_cast<HDC>(p); }
HBRUSH B(void* p) { return static_cast<HBRUSH>(p); }

HWND makeChild(const wchar_t* cls, DWORD style, DWORD exStyle, void* parent) {
    return CreateWindowExW(exStyle, cls, L"", WS_CHILD | WS_CLIPSIBLINGS | style, 0, 0, 0, 0, H(parent), nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

DWORD tabStopStyle(const ui::Control& c) { return c.tabStop() ? WS_TABSTOP : 0; }

void setText(HWND hwnd, const std::string& text) {
    const std::wstring w = widen(text);
    SetWindowTextW(hwnd, w.c_str());
}

std::wstring textOf(HWND hwnd) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

POINT pointOf(LPARAM lp) { return {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))}; }

// A one-pixel 3-D edge just inside r; r shrinks by one pixel on every side.
void drawEdge(HDC dc, RECT& r, GdiCache& gdi, ui::Color topLeft, ui::Color bottomRight) {
    const auto fill = [&](LONG left, LONG top, LONG right, LONG bottom, ui::Color c) {
        const RECT part{left, top, right, bottom};
        FillRect(dc, &part, B(gdi.brush(c)));
    };
    fill(r.left, r.top, r.right, r.top + 1, topLeft);
    fill(r.left, r.top, r.left + 1, r.bottom, topLeft);
    fill(r.left, r.bottom - 1, r.right, r.bottom, bottomRight);
    fill(r.right - 1, r.top, r.right, r.bottom, bottomRight);
    InflateRect(&r, -1, -1);
}

// Paints into a memory bitmap and copies it in one go, so that a window repainted
// every second does not flicker.
class BufferedPaint {
public:
    explicit BufferedPaint(HWND hwnd) : hwnd_(hwnd) {
        window_ = BeginPaint(hwnd, &ps_);
        GetClientRect(hwnd, &client_);
        dc_ = CreateCompatibleDC(window_);
        bitmap_ = CreateCompatibleBitmap(window_, std::max<LONG>(client_.right, 1), std::max<LONG>(client_.bottom, 1));
        old_ = SelectObject(dc_, bitmap_);
    }
    ~BufferedPaint() {
        BitBlt(window_, 0, 0, client_.right, client_.bottom, dc_, 0, 0, SRCCOPY);
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
        EndPaint(hwnd_, &ps_);
    }
    BufferedPaint(const BufferedPaint&) = delete;
    BufferedPaint& operator=(const BufferedPaint&) = delete;
    HDC dc() const { return dc_; }
    RECT client() const { return client_; }

private:
    HWND hwnd_;
    PAINTSTRUCT ps_{};
    HDC window_;
    RECT client_{};
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
};

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

// A window of our own class whose background is the peer's colour and whose children
// are controls: the form's pages, the notebook, the scroll box and its content.
class ContainerPeer : public ControlPeer {
public:
    using ControlPeer::ControlPeer;

    bool message(void* window, unsigned msg, std::uintptr_t wp, std::intptr_t lp, std::intptr_t* result) override {
        if (msg != WM_ERASEBKGND) return ControlPeer::message(window, msg, wp, lp, result);
        RECT r;
        GetClientRect(H(window), &r);
        FillRect(D(reinterpret_cast<void*>(wp)), &r, B(ctx().gdi().brush(background())));
        *result = 1;
        return true;
    }
};

// ---- Label ------------------------------------------------------------------------

class LabelPeer : public ControlPeer {
public:
    LabelPeer(ui::Label& label, void* parent, FormContext& ctx) : ControlPeer(label, ctx), label_(label) {
        setWindow(makeChild(L"STATIC", label.wordWrap() ? SS_OWNERDRAW : SS_LEFTNOWORDWRAP, 0, parent));
    }

    // A wrapped caption is laid out here: a line breaks at a run of blanks, the run
    // vanishes at the break and is kept within a line, whatever the system's text
    // layout does with long runs.
    void drawItem(void* item) override {
        const auto* di = static_cast<DRAWITEMSTRUCT*>(item);
        HDC dc = di->hDC;
        ControlPeer::controlColor(dc);
        FillRect(dc, &di->rcItem, B(parentBrush()));
        const HGDIOBJ old = SelectObject(dc, font());
        SetBkMode(dc, TRANSPARENT);
        TEXTMETRICW tm;
        GetTextMetricsW(dc, &tm);
        int y = di->rcItem.top;
        for (const std::wstring& line : wrapped(dc, widen(label_.caption()), di->rcItem.right - di->rcItem.left)) {
            TextOutW(dc, di->rcItem.left, y, line.c_str(), static_cast<int>(line.size()));
            y += tm.tmHeight;
        }
        SelectObject(dc, old);
    }

    // A label has no background of its own: its parent shows through.
    void* controlColor(void* dc) override {
        ControlPeer::controlColor(dc);
        SetBkMode(D(dc), TRANSPARENT);
        return parentBrush();
    }

protected:
    void apply(ui::Change what) override {
        if (what == ui::Change::Text) {
            setText(H(hwnd()), label_.caption());
            InvalidateRect(H(hwnd()), nullptr, TRUE);
            measure();
        } else if (what == ui::Change::Font) {
            measure();
        }
    }

private:
    static std::vector<std::wstring> wrapped(HDC dc, const std::wstring& text, int width) {
        const auto fits = [&](const std::wstring& s) {
            SIZE size{};
            GetTextExtentPoint32W(dc, s.c_str(), static_cast<int>(s.size()), &size);
            return size.cx <= width;
        };
        std::vector<std::wstring> lines;
        std::wstring line;
        std::size_t at = 0;
        while (at < text.size()) {
            const std::size_t wordStart = text.find_first_not_of(L' ', at);
            if (wordStart == std::wstring::npos) break;
            const std::size_t wordEnd = std::min(text.find(L' ', wordStart), text.size());
            const std::wstring blanks = text.substr(at, wordStart - at);
            const std::wstring word = text.substr(wordStart, wordEnd - wordStart);
            if (line.empty() && lines.empty()) {
                line = blanks + word;
            } else if (!line.empty() && fits(line + blanks + word)) {
                line += blanks + word;
            } else {
                if (!line.empty()) lines.push_back(line);
                line = word;
            }
            at = wordEnd;
        }
        if (!line.empty()) lines.push_back(line);
        return lines;
    }

    void* parentBrush() const {
        const ControlPeer* parent = label_.parent() ? ctx().peerOf(*label_.parent()) : nullptr;
        return ctx().gdi().brush(parent ? parent->background() : colors::btnFace);
    }

    // An auto-sized label takes the size of its caption: the widest line, one line
    // height per line; an empty caption measures as one blank.
    void measure() {
        if (!label_.autoSize()) return;
        const std::wstring text = label_.caption().empty() ? L" " : widen(label_.caption());
        HDC dc = GetDC(H(hwnd()));
        const HGDIOBJ old = SelectObject(dc, font());
        RECT r{0, 0, ctx().scaled(label_.width()), 0};
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
                  DT_CALCRECT | (label_.wordWrap() ? DT_WORDBREAK : 0));
        SelectObject(dc, old);
        ReleaseDC(H(hwnd()), dc);
        const int width = label_.wordWrap() ? label_.width() : ctx().unscaled(r.right - r.left);
        label_.textMeasured(width, ctx().unscaled(r.bottom - r.top));
    }

    ui::Label& label_;
};

// ---- Shape, Panel -------------------------------------------------------------------

class ShapePeer : public ControlPeer {
public:
    ShapePeer(ui::Shape& shape, void* parent, FormContext& ctx) : ControlPeer(shape, ctx), shape_(shape) {
        setWindow(makeChild(controlWindowClass, 0, 0, parent));
    }

    bool message(void* window, unsigned msg, std::uintptr_t wp, std::intptr_t lp, std::intptr_t* result) override {
        if (msg == WM_ERASEBKGND) return *result = 1, true;
        if (msg != WM_PAINT) return ControlPeer::message(window, msg, wp, lp, result);
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(H(hwnd()), &ps);
        RECT r;
        GetClientRect(H(hwnd()), &r);
        GdiCache& gdi = ctx().gdi();
        if (r.right <= 2 || r.bottom <= 2) {
            FillRect(dc, &r, B(gdi.brush(shape_.penColor())));
        } else {
            FillRect(dc, &r, B(gdi.brush(shape_.brushColor())));
            FrameRect(dc, &r, B(gdi.brush(shape_.penColor())));
        }
        EndPaint(H(hwnd()), &ps);
        return true;
    }

protected:
    void apply(ui::Change what) override {
        if (what == ui::Change::Color) InvalidateRect(H(hwnd()), nullptr, FALSE);
    }

private:
    ui::Shape& shape_;
};

// Panels draw their bevels, face and caption themselves; the clock is one.
class PanelPeer : public ControlPeer {
public:
    PanelPeer(ui::Panel& panel, void* parent, FormContext& ctx) : ControlPeer(panel, ctx), panel_(panel) {
        setWindow(makeChild(controlWindowClass, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, parent));
    }

    ui::Color background() const override { return panel_.color(); }

    bool message(void* window, unsigned msg, std::uintptr_t wp, std::intptr_t lp, std::intptr_t* result) override {
        if (msg == WM_ERASEBKGND) return *result = 1, true;
        if (msg != WM_PAINT) return ControlPeer::message(window, msg, wp, lp, result);
        BufferedPaint paint(H(hwnd()));
        HDC dc = paint.dc();
        RECT r = paint.client();
        GdiCache& gdi = ctx().gdi();
        for (ui::Bevel bevel : {panel_.bevelOuter(), panel_.bevelInner()}) {
            if (bevel == ui::Bevel::Lowered)
                drawEdge(dc, r, gdi, colors::btnShadow, colors::btnHighlight);
            else if (bevel == ui::Bevel::Raised)
                drawEdge(dc, r, gdi, colors::btnHighlight, colors::btnShadow);
        }
        FillRect(dc, &r, B(gdi.brush(panel_.color())));
        if (!panel_.caption().empty()) {
            const std::wstring text = widen(panel_.caption());
            const HGDIOBJ old = SelectObject(dc, font());
            SetTextColor(dc, colorRef(panel_.font().color));
            SetBkMode(dc, TRANSPARENT);
            const UINT align = panel_.alignment() == ui::Alignment::Left    ? DT_LEFT
                               : panel_.alignment() == ui::Alignment::Right ? DT_RIGHT
                                                                            : DT_CENTER;
            DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
                      DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | align);
            SelectObject(dc, old);
        }
        return true;
    }

protected:
    void apply(ui::Change what) override {
        if (what == ui::Change::Text || what == ui::Change::Font || what == ui::Change::Color ||
            what == ui::Change::Alignment)
            InvalidateRect(H(hwnd()), nullptr, FALSE);
    }

private:
    ui::Panel& panel_;
};

// ---- TabbedNotebook -----------------------------------------------------------------

// A window of ours holding the tab control and, above it, the pages.
class NotebookPeer : public ContainerPeer {
public:
    NotebookPeer(ui::TabbedNotebook& nb, void* parent, FormContext& ctx) : ContainerPeer(nb, ctx), nb_(nb) {
        setWindow(makeChild(controlWindowClass, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, parent));
        tabs_ = makeChild(WC_TABCONTROLW, WS_VISIBLE | tabStopStyle(nb), 0, hwnd());
        hook(tabs_);
        int index = 0;
        for (const ui::NotebookPage* page : nb.pages()) {
            std::wstring caption = widen(page->caption());
            TCITEMW item{};
            item.mask = TCIF_TEXT;
            item.pszText = caption.data();
            SendMessageW(tabs_, TCM_INSERTITEMW, static_cast<WPARAM>(index++), reinterpret_cast<LPARAM>(&item));
        }
    }

    void* focusTarget() const override { return tabs_; }

    bool message(void* window, unsigned msg, std::uintptr_t wp, std::intptr_t lp, std::intptr_t* result) override {
        if (msg != WM_PAINT || window != hwnd()) return ContainerPeer::message(window, msg, wp, lp, result);
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(H(hwnd()), &ps);
        RECT r;
        GetClientRect(H(hwnd()), &r);
        r.top = ctx().scaled(ui::TabbedNotebook::tabHeight);
        GdiCache& gdi = ctx().gdi();
        FillRect(dc, &r, B(gdi.brush(colors::btnFace)));
        drawEdge(dc, r, gdi, colors::btnHighlight, colors::windowFrame);
        drawEdge(dc, r, gdi, colors::btnFace, colors::btnShadow);
        EndPaint(H(hwnd()), &ps);
        return true;
    }

    bool notify(void* header, std::intptr_t* result) override {
        const auto* nm = static_cast<NMHDR*>(header);
        if (nm->hwndFrom != tabs_ || nm->code != static_cast<UINT>(TCN_SELCHANGE)) return false;
        *result = 0;
        if (updating()) return true;
        const int index = static_cast<int>(SendMessageW(tabs_, TCM_GETCURSEL, 0, 0));
        if (index < 0) return true;
        ctx().dispatch([this, index] { nb_.setPageIndex(index); });
        Updating guard(*this);
        apply(ui::Change::PageIndex);
        return true;
    }

    // The pages lie above the tab control.
    void childrenOrdered() override { SetWindowPos(tabs_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); }

    void apply(ui::Change what) override {
        if (what != ui::Change::PageIndex) return;
        SendMessageW(tabs_, TCM_SETCURSEL, static_cast<WPARAM>(nb_.pageIndex()), 0);
        const auto& pages = nb_.pages();
        for (std::size_t i = 0; i < pages.size(); ++i) {
            if (ControlPeer* page = ctx().peerOf(*pages[i]))
                ShowWindow(H(page->hwnd()),
                           static_cast<int>(i) == nb_.pageIndex() && pages[i]->visible() ? SW_SHOWNA : SW_HIDE);
        }
    }

protected:
    void applyGeometry() override {
        ContainerPeer::applyGeometry();
        const ui::Rect b = deviceBounds();
        // The tab control shows the row of tabs and the top edge below them; the border
        // around the pages is drawn here, in the classic colours.
        SetWindowPos(tabs_, nullptr, 0, 0, b.width(), ctx().scaled(ui::TabbedNotebook::tabHeight) + 2,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        // The row of tabs takes the designed height; the tab control adds its border.
        const int row = ctx().scaled(ui::TabbedNotebook::tabHeight) - 4;
        SendMessageW(tabs_, TCM_SETITEMSIZE, 0, MAKELPARAM(0, std::max(row, 1)));
    }
    void applyFont() override {
        ContainerPeer::applyFont();
        SendMessageW(tabs_, WM_SETFONT, reinterpret_cast<WPARAM>(font()), TRUE);
    }

private:
    ui::TabbedNotebook& nb_;
    HWND tabs_;
};

class PagePeer : public ContainerPeer {
public:
    PagePeer(ui::NotebookPage& page, void* parent, FormContext& ctx) : ContainerPeer(page, ctx) {
        setWindow(makeChild(controlWindowClass, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, parent));
        setText(H(hwnd()), page.caption());
    }

protected:
    void applyGeometry() override {
        const ui::Rect b = control().bounds();
        SetWindowPos(H(hwnd()), nullptr, ctx().scaled(b.left + pageInset),
                     ctx().scaled(b.top + ui::TabbedNotebook::tabHeight + pageInset), ctx().scaled(b.width()),
                     ctx().scaled(b.height()), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    void applyVisible() override {
        if (ControlPeer* nb = control().parent() ? ctx().peerOf(*control().parent()) : nullptr)
            static_cast<NotebookPeer*>(nb)->apply(ui::Change::PageIndex);
    }
};

// ---- Button, CheckBox, RadioButton ----------------------------------------------------

// Push buttons are drawn here, so that their captions take the model's font colour.
class ButtonPeer : public ControlPeer {
public:
    ButtonPeer(ui::Button& button, void* parent, FormContext& ctx) : ControlPeer(button, ctx), button_(button) {
        setWindow(makeChild(L"BUTTON", BS_OWNERDRAW | tabStopStyle(button), 0, parent));
    }

    void command(int code) override {
        if ((code == BN_CLICKED || code == BN_DOUBLECLICKED) && !updating())
            ctx().dispatch([this] { button_.click(); });
    }

    void drawItem(void* item) override {
        const auto* di = static_cast<DRAWITEMSTRUCT*>(item);
        const bool pressed = di->itemState & ODS_SELECTED;
        RECT r = di->rcItem;
        DrawFrameControl(di->hDC, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
        const std::wstring text = widen(button_.caption());
        const HGDIOBJ old = SelectObject(di->hDC, font());
        SetBkMode(di->hDC, TRANSPARENT);
        SetTextColor(di->hDC, colorRef((di->itemState & ODS_DISABLED) ? colors::btnShadow : button_.font().color));
        RECT textRect = di->rcItem;
        if (pressed) OffsetRect(&textRect, 1, 1);
        DrawTextW(di->hDC, text.c_str(), static_cast<int>(text.size()), &textRect,
                  DT_SINGLELINE | DT_VCENTER | DT_CENTER | ((di->itemState & ODS_NOACCEL) ? DT_HIDEPREFIX : 0));
        SelectObject(di->hDC, old);
        if ((di->itemState & ODS_FOCUS) && !(di->itemState & ODS_NOFOCUSRECT)) {
            RECT focus = di->rcItem;
            InflateRect(&focus, -4, -4);
            DrawFocusRect(di->hDC, &focus);
        }
    }

protected:
    void apply(ui::Change what) override {
        if (what == ui::Change::Text) setText(H(hwnd()), button_.caption());
        if (what == ui::Change::Font || what == ui::Change::Text) InvalidateRect(H(hwnd()), nullptr, FALSE);
    }

private:
    ui::Button& button_;
};

// Check boxes and radio buttons whose checking the model decides: a click asks the
// model, and the mark follows what the model then holds.
template <class Model>
class CheckablePeer : public ControlPeer {
public:
    CheckablePeer(Model& model, void* parent, FormContext& ctx, DWORD style) : ControlPeer(model, ctx), model_(model) {
        setWindow(makeChild(L"BUTTON", style | tabStopStyle(model), 0, parent));
    }

    void command(int code) override {
        if (updating()) return;
        if (code == BN_CLICKED) userAction([this] { model_.click(); });
    }

    // The parent shows through around the mark and the caption.
    void* controlColor(void* dc) override {
        ControlPeer::controlColor(dc);
        SetBkMode(D(dc), TRANSPARENT);
        const ControlPeer* parent = model_.parent() ? ctx().peerOf(*model_.parent()) : nullptr;
        const ui::Color behind = parent ? parent->background() : colors::btnFace;
        SetBkColor(D(dc), colorRef(behind));
        return ctx().gdi().brush(behind);
    }

protected:
    void userAction(const std::function<void()>& action) {
        ctx().dispatch(action);
        Updating guard(*this);
        apply(ui::Change::Checked);
    }

    void apply(ui::Change what) override {
        if (what == ui::Change::Text)
            setText(H(hwnd()), model_.caption());
        else if (what == ui::Change::Checked)
            SendMessageW(H(hwnd()), BM_SETCHECK, model_.checked() ? BST_CHECKED : BST_UNCHECKED, 0);
    }

    Model& model_;
};

class CheckBoxPeer : public CheckablePeer<ui::CheckBox> {
public:
    CheckBoxPeer(ui::CheckBox& box, void* parent, FormContext& ctx) : CheckablePeer(box, parent, ctx, BS_CHECKBOX) {}
};

class RadioPeer : public CheckablePeer<ui::RadioButton> {
public:
    RadioPeer(ui::RadioButton& radio, void* parent, FormContext& ctx)
        : CheckablePeer(radio, parent, ctx, BS_RADIOBUTTON) {}

    // A radio button reports the second press of a double click on its own.
    void command(int code) override {
        if (code == BN_DOUBLECLICKED && !updating())
            userAction([this] { model_.doubleClick(); });
        else
            CheckablePeer::command(code);
    }
};

// ---- Edit ---------------------------------------------------------------------------

// The character a WM_CHAR types, as the model's key-press event sees it: Latin-1 as it
// is, other characters as '?', and the control characters (Backspace, Enter, Escape,
// Ctrl+letter). Tab and Delete type none here.
std::optional<char> typedCharacter(WPARAM wp) {
    if (wp == '\t' || wp == 0x7F || wp == 0 || wp > 0xFFFF) return std::nullopt;
    if (wp > 0xFF) return '?';
    return static_cast<char>(static_cast<unsigned char>(wp));
}

// Edit boxes and memos: the model's font colour on the window colour.
class TextBoxPeer : public ControlPeer {
public:
    using ControlPeer::ControlPeer;
    void* controlColor(void* dc) override {
        ControlPeer::controlColor(dc);
        SetBkColor(D(dc), colorRef(colors::window));
        return ctx().gdi().brush(colors::window);
    }
};

class EditPeer : public TextBoxPeer {
public:
    EditPeer(ui::Edit& edit, void* parent, FormContext& ctx) : TextBoxPeer(edit, ctx), edit_(edit) {
        setWindow(makeChild(L"EDIT", ES_AUTOHSCROLL | ES_LEFT | tabStopStyle(edit), WS_EX_CLIENTEDGE, parent));
    }

    bool message(void* window, unsigned msg, std::uintptr_t wp, std::intptr_t lp, std::intptr_t* result) override {
        HWND w = H(hwnd());
        if (msg == WM_CHAR) {
            const std::optional<char> typed = typedCharacter(wp);
            if (!typed) return false;
            char left = 0;
            ctx().dispatch([&] { left = edit_.keyPress(*typed); });
            *result = 0;
            if (left == 0) return true;  // cancelled: the box never sees it
            if (left == *typed) return false;
            DefSubclassProc(w, WM_CHAR, static_cast<unsigned char>(left), lp);
            return true;
        }
        if (msg == WM_KEYDOWN && (wp == VK_UP || wp == VK_DOWN) && GetKeyState(VK_CONTROL) >= 0 &&
            GetKeyState(VK_MENU) >= 0) {
            bool used = false;
            ctx().dispatch([&] { used = edit_.keyDown(wp == VK_UP ? ui::Key::Up : ui::Key::Down); });
            *result = 0;
            return used;
        }
        if (msg == WM_MOUSEMOVE) {
            const POINT p = pointOf(lp);
            ctx().dispatch([&] { edit_.mouseMove({ctx().unscaled(p.x), ctx().unscaled(p.y)}); });
        }
        return ControlPeer::message(window, msg, wp, lp, result);
    }

    void command(int code) override {
        if (code != EN_CHANGE || updating()) return;
        ctx().dispatch([this, text = narrow(textOf(H(hwnd())))] { edit_.setText(text); });
    }

protected:
    // Narrow margins (a new font resets them), so that the designed narrow boxes show
    // their two characters.
    void applyFont() override {
        ControlPeer::applyFont();
        SendMessageW(H(hwnd()), EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(1, 1));
    }
    void apply(ui::Change what) override {
        if (what == ui::Change::Text) {
            const std::wstring text = widen(edit_.text());
            if (textOf(H(hwnd())) != text) SetWindowTextW(H(hwnd()), text.c_str());
        } else if (what == ui::Change::ReadOnly) {
            SendMessageW(H(hwnd()), EM_SETREADONLY, edit_.readOnly(), 0);
        }
    }

private:
    ui::Edit& edit_;
};

// ---- UpDown -------------------------------------------------------------------------

// The arrows only report clicks: the model keeps the position and writes its edit box.
// The control's own position sits mid-range and never moves.
class UpDownPeer : public ControlPeer {
public:
    UpDownPeer(ui::UpDown& updown, void* parent, FormContext& ctx) : ControlPeer(updown, ctx), updown_(updown) {
        setWindow(makeChild(UPDOWN_CLASSW, 0, 0, parent));
        SendMessageW(H(hwnd()), UDM_SETRANGE32, 0, 1000);
        SendMessageW(H(hwnd()), UDM_SETPOS32, 0, 500);
    }

    void* focusTarget() const override { return nullptr; }

    bool notify(void* header, std::intptr_t* result) override {
        const auto* nm = static_cast<NMUPDOWN*>(header);
        if (nm->hdr.code != static_cast<UINT>(UDN_DELTAPOS)) return false;
        *result = 1;  // keep the control's position
        if (nm->iDelta == 0 || updating()) return true;
        const ui::UpDownButton button = nm->iDelta > 0 ? ui::UpDownButton::Up : ui::UpDownButton::Down;
        ctx().dispatch([this, button] { updown_.step(button); });
        return true;
    }

private:
    ui::UpDown& updown_;
};

// ---- ScrollBox, Memo -------------------------------------------------------------------

// A framed window with a vertical scroll bar over a content window that holds the
// children and moves up and down.
class ScrollBoxPeer : public ContainerPeer {
public:
    ScrollBoxPeer(ui::ScrollBox& box, void* parent, FormContext& ctx) : ContainerPeer(box, ctx), box_(box) {
        setWindow(makeChild(controlWindowClass,
                            WS_CLIPCHILDREN | WS_VSCROLL | (box.horizontalBarVisible() ? WS_HSCROLL : 0),
                            WS_EX_CLIENTEDGE | WS_EX_CONTROLPARENT, parent));
        content_ = makeChild(controlWindowClass, WS_VISIBLE | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, hwnd());
        hook(content_);
    }

    void* container() const override { return content_; }
    void* focusTarget() const override { return nullptr; }

    void childGeometryChanged() override {
        int right = 0, bottom = 0;
        for (const ui::Control* c : box_.children()) {
            right = std::max(right, c->bounds().right);
            bottom = std::max(bottom, c->bounds().bottom);
        }
        height_ = ctx().scaled(bottom);
        SetWindowPos(content_, nullptr, 0, 0, ctx().scaled(right), height_, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
        scrollTo(position_);
    }

    bool message(void* window, unsigned msg, std::uintptr_t wp, std::intptr_t lp, std::intptr_t* result) override {
        const int line = ctx().scaled(16);
        if (msg == WM_VSCROLL) {
            SCROLLINFO si{sizeof si, SIF_ALL, 0, 0, 0, 0, 0};
            GetScrollInfo(H(hwnd()), SB_VERT, &si);
            int to = position_;
            switch (LOWORD(wp)) {
            case SB_LINEUP: to -= line; break;
            case SB_LINEDOWN: to += line; break;
            case SB_PAGEUP: to -= static_cast<int>(si.nPage); break;
            case SB_PAGEDOWN: to += static_cast<int>(si.nPage); break;
            case SB_THUMBTRACK:
            case SB_THUMBPOSITION: to = si.nTrackPos; break;
            case SB_TOP: to = 0; break;
            case SB_BOTTOM: to = height_; break;
            default: break;
            }
            scrollTo(to);
            *result = 0;
            return true;
        }
        if (msg == WM_MOUSEWHEEL) {
            scrollTo(position_ - GET_WHEEL_DELTA_WPARAM(wp) * 3 * line / WHEEL_DELTA);
            *result = 0;
            return true;
        }
        return ContainerPeer::message(window, msg, wp, lp, result);
    }

private:
    void scrollTo(int to) {
        RECT client;
        GetClientRect(H(hwnd()), &client);
        position_ = std::clamp(to, 0, std::max(0, height_ - static_cast<int>(client.bottom)));
        SCROLLINFO si{sizeof si,
                      SIF_RANGE | SIF_PAGE | SIF_POS,
                      0,
                      std::max(0, height_ - 1),
                      static_cast<UINT>(client.bottom),
                      position_,
                      0};
        SetScrollInfo(H(hwnd()), SB_VERT, &si, TRUE);
        SetWindowPos(content_, nullptr, 0, -position_, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
    }

    ui::ScrollBox& box_;
    HWND content_;
    int height_ = 0;
    int position_ = 0;
};

class MemoPeer : public TextBoxPeer {
public:
    MemoPeer(ui::Memo& memo, void* parent, FormContext& ctx) : TextBoxPeer(memo, ctx), memo_(memo) {
        setWindow(makeChild(
            L"EDIT", ES_MULTILINE | ES_AUTOVSCROLL | (memo.wordWrap() ? 0 : ES_AUTOHSCROLL) | WS_TABSTOP, 0, parent));
    }

    // A memo without scroll bars of its own hands the wheel to the box around it.
    bool message(void* window, unsigned msg, std::uintptr_t wp, std::intptr_t lp, std::intptr_t* result) override {
        if (msg != WM_MOUSEWHEEL) return ControlPeer::message(window, msg, wp, lp, result);
        for (HWND w = GetParent(H(hwnd())); w; w = GetParent(w)) {
            if (GetWindowLongW(w, GWL_STYLE) & WS_VSCROLL) {
                *result = SendMessageW(w, msg, wp, lp);
                return true;
            }
        }
        return false;
    }

protected:
    void apply(ui::Change what) override {
        if (what == ui::Change::Text) {
            std::string text;
            for (std::size_t i = 0; i < memo_.lines().size(); ++i) {
                if (i) text += "\r\n";
                text += memo_.lines()[i];
            }
            setText(H(hwnd()), text);
            SendMessageW(H(hwnd()), EM_SETREADONLY, memo_.readOnly(), 0);
        } else if (what == ui::Change::ReadOnly) {
            SendMessageW(H(hwnd()), EM_SETREADONLY, memo_.readOnly(), 0);
        }
    }

private:
    ui::Memo& memo_;
};

// ---- CustomControl ----------------------------------------------------------------------

// Painted through a RasterCanvas at the window's density and copied to the screen.
class CustomPeer : public ControlPeer {
public:
    CustomPeer(ui::CustomControl& control, void* parent, FormContext& ctx)
        : ControlPeer(control, ctx), control_(control) {
        setWindow(makeChild(controlWindowClass, tabStopStyle(control), 0, parent));
    }

    bool message(void* window, unsigned msg, std::uintptr_t wp, std::intptr_t lp, std::intptr_t* result) override {
        *result = 0;
        switch (msg) {
        case WM_ERASEBKGND: *result = 1; return true;
        case WM_PAINT: paint(); return true;
        case WM_GETDLGCODE: *result = control_.wantsArrows() ? DLGC_WANTARROWS : 0; return true;
        case WM_LBUTTONDOWN:
            SetCapture(H(hwnd()));
            mouse(lp, [this](ui::Point at) { control_.mouseDown(at); });
            return true;
        case WM_MOUSEMOVE: mouse(lp, [this](ui::Point at) { control_.mouseMove(at); }); return true;
        case WM_LBUTTONUP:
            if (GetCapture() == H(hwnd())) ReleaseCapture();
            mouse(lp, [this](ui::Point at) { control_.mouseUp(at); });
            return true;
        case WM_KEYDOWN: return key(wp);
        default: return ControlPeer::message(window, msg, wp, lp, result);
        }
    }

private:
    void mouse(std::intptr_t lp, const std::function<void(ui::Point)>& event) {
        const POINT p = pointOf(lp);
        const ui::Point at{ctx().unscaled(p.x), ctx().unscaled(p.y)};
        ctx().dispatch([&] { event(at); });
    }

    bool key(std::uintptr_t wp) {
        ui::Key k = ui::Key::Other;
        switch (wp) {
        case VK_LEFT: k = ui::Key::Left; break;
        case VK_RIGHT: k = ui::Key::Right; break;
        case VK_UP: k = ui::Key::Up; break;
        case VK_DOWN: k = ui::Key::Down; break;
        case VK_SPACE: k = ui::Key::Space; break;
        default: break;
        }
        const bool arrow = k != ui::Key::Other && k != ui::Key::Space;
        if (k == ui::Key::Other || (arrow && !control_.wantsArrows()) || GetKeyState(VK_CONTROL) < 0 ||
            GetKeyState(VK_MENU) < 0)
            return false;
        ctx().dispatch([&] { control_.keyDown(k); });
        return true;
    }

    void paint() {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(H(hwnd()), &ps);
        RECT r;
        GetClientRect(H(hwnd()), &r);
        if (r.right > 0 && r.bottom > 0) {
            ui::Bitmap surface(r.right, r.bottom, colors::btnFace);
            ui::RasterCanvas canvas(surface, ctx().dpi() / 96.0);
            try {
                control_.paint(canvas);
                paintFailed_ = false;
            } catch (...) {
                // A failed paint leaves the face colour. The error report cannot open
                // inside a paint, so it goes to the queue; a control that keeps failing
                // is reported again only after a paint has succeeded in between.
                if (!std::exchange(paintFailed_, true)) ctx().application().queue().postError(std::current_exception());
            }
            std::vector<std::uint32_t> bits;
            bits.reserve(surface.pixels().size());
            for (const ui::Color c : surface.pixels())
                bits.push_back((std::uint32_t(c.r) << 16) | (std::uint32_t(c.g) << 8) | c.b);
            BITMAPINFO bi{};
            bi.bmiHeader.biSize = sizeof bi.bmiHeader;
            bi.bmiHeader.biWidth = surface.width();
            bi.bmiHeader.biHeight = -surface.height();  // rows top to bottom
            bi.bmiHeader.biPlanes = 1;
            bi.bmiHeader.biBitCount = 32;
            bi.bmiHeader.biCompression = BI_RGB;
            SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(surface.width()), static_cast<DWORD>(surface.height()), 0, 0,
                              0, static_cast<UINT>(surface.height()), bits.data(), &bi, DIB_RGB_COLORS);
        }
        EndPaint(H(hwnd()), &ps);
    }

    ui::CustomControl& control_;
    bool paintFailed_ = false;
};

}  // namespace

// ---- ControlPeer ----------------------------------------------------------------------

ControlPeer::~ControlPeer() = default;

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

void ControlPeer::componentChanged(ui::Component&, ui::Change what) {
    Updating guard(*this);
    switch (what) {
    case ui::Change::Bounds:
        applyGeometry();
        if (ui::Control* parent = control_.parent()) {
            if (ControlPeer* p = ctx_.peerOf(*parent)) p->childGeometryChanged();
        }
        apply(what);
        break;
    case ui::Change::Visible: applyVisible(); break;
    case ui::Change::Enabled: applyEnabled(); break;
    case ui::Change::Font:
        applyFont();
        apply(what);
        break;
    case ui::Change::Focus:
        if (void* target = focusTarget()) SetFocus(H(target));
        break;
    case ui::Change::Repaint: InvalidateRect(H(hwnd_), nullptr, FALSE); break;
    default: apply(what); break;
    }
}

void ControlPeer::syncAll() {
    Updating guard(*this);
    applyGeometry();
    applyFont();
    applyEnabled();
    if (control_.showHint() && !control_.hint().empty()) ctx_.setHint(hwnd_, control_.hint());
    for (ui::Change c : {ui::Change::Text, ui::Change::Checked, ui::Change::Alignment, ui::Change::ReadOnly,
                         ui::Change::Color, ui::Change::Position, ui::Change::PageIndex})
        apply(c);
    applyVisible();
    childGeometryChanged();
}

void ControlPeer::rescale() {
    Updating guard(*this);
    applyGeometry();
    applyFont();
    apply(ui::Change::Font);
    childGeometryChanged();
}

void ControlPeer::reportFocus(bool hasFocus) {
    ctx_.dispatch([this, hasFocus] {
        if (control_.focused() != hasFocus) control_.focusChanged(hasFocus);
    });
    if (dynamic_cast<ui::CustomControl*>(&control_)) InvalidateRect(H(hwnd_), nullptr, FALSE);
}

void* ControlPeer::controlColor(void* dc) {
    SetTextColor(D(dc), colorRef(control_.font().color));
    SetBkColor(D(dc), colorRef(background()));
    return ctx_.gdi().brush(background());
}

bool ControlPeer::message(void*, unsigned, std::uintptr_t, std::intptr_t, std::intptr_t*) { return false; }

void ControlPeer::apply(ui::Change) {}

void ControlPeer::applyVisible() { ShowWindow(H(hwnd_), control_.visible() ? SW_SHOWNA : SW_HIDE); }

void ControlPeer::applyEnabled() { EnableWindow(H(hwnd_), control_.enabled()); }

ui::Rect ControlPeer::deviceBounds() const {
    const ui::Rect b = control_.bounds();
    return {ctx_.scaled(b.left), ctx_.scaled(b.top), ctx_.scaled(b.right), ctx_.scaled(b.bottom)};
}

void ControlPeer::applyGeometry() {
    const ui::Rect b = deviceBounds();
    SetWindowPos(H(hwnd_), nullptr, b.left, b.top, b.width(), b.height(), SWP_NOZORDER | SWP_NOACTIVATE);
}

void ControlPeer::applyFont() { SendMessageW(H(hwnd_), WM_SETFONT, reinterpret_cast<WPARAM>(font()), TRUE); }

void* ControlPeer::font() const { return ctx_.gdi().font(control_.font(), ctx_.dpi()); }

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

std::unique_ptr<ControlPeer> makeControlPeer(ui::Control& c, void* parent, FormContext& ctx) {
    if (auto* x = dynamic_cast<ui::CustomControl*>(&c)) return std::make_unique<CustomPeer>(*x, parent, ctx);
    if (auto* x = dynamic_cast<ui::Label*>(&c)) return std::make_unique<LabelPeer>(*x, parent, ctx);
    if (auto* x = dynamic_cast<ui::Shape*>(&c)) return std::make_unique<ShapePeer>(*x, parent, ctx);
    if (auto* x = dynamic_cast<ui::Panel*>(&c)) return std::make_unique<PanelPeer>(*x, parent, ctx);
    if (auto* x = dynamic_cast<ui::TabbedNotebook*>(&c)) return std::make_unique<NotebookPeer>(*x, parent, ctx);
    if (auto* x = dynamic_cast<ui::NotebookPage*>(&c)) return std::make_unique<PagePeer>(*x, parent, ctx);
    if (auto* x = dynamic_cast<ui::Button*>(&c)) return std::make_unique<ButtonPeer>(*x, parent, ctx);
    if (auto* x = dynamic_cast<ui::Edit*>(&c)) return std::make_unique<EditPeer>(*x, parent, ctx);
    if (auto* x = dynamic_cast<ui::UpDown*>(&c)) return std::make_unique<UpDownPeer>(*x, parent, ctx);
    if (auto* x = dynamic_cast<ui::CheckBox*>(&c)) return std::make_unique<CheckBoxPeer>(*x, parent, ctx);
    if (auto* x = dynamic_cast<ui::RadioButton*>(&c)) return std::make_unique<RadioPeer>(*x, parent, ctx);
    if (auto* x = dynamic_cast<ui::ScrollBox*>(&c)) return std::make_unique<ScrollBoxPeer>(*x, parent, ctx);
    if (auto* x = dynamic_cast<ui::Memo*>(&c)) return std::make_unique<MemoPeer>(*x, parent, ctx);
    return nullptr;
}

}  // namespace win32ui
