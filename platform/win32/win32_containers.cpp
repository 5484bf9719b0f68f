// The controls that hold other controls: panels (the clock among them), the tabbed
// notebook and its pages, the scroll box.
#include <windows.h>
//
#include <commctrl.h>

#include <algorithm>
#include <memory>

#include "platform/win32/win32_peers.h"

namespace win32 {
namespace {

namespace colors = ui::colors;

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

// ---- Panel --------------------------------------------------------------------------

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

// The pages sit inside the tab control's border, this far from the notebook's edges.
constexpr int pageInset = 4;

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

// ---- ScrollBox ----------------------------------------------------------------------

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

}  // namespace

std::unique_ptr<ui::view::ControlPeer> makePeer(ui::Panel& panel, void* parent, FormContext& ctx) {
    return std::make_unique<PanelPeer>(panel, parent, ctx);
}

std::unique_ptr<ui::view::ControlPeer> makePeer(ui::TabbedNotebook& nb, void* parent, FormContext& ctx) {
    return std::make_unique<NotebookPeer>(nb, parent, ctx);
}

std::unique_ptr<ui::view::ControlPeer> makePeer(ui::NotebookPage& page, void* parent, FormContext& ctx) {
    return std::make_unique<PagePeer>(page, parent, ctx);
}

std::unique_ptr<ui::view::ControlPeer> makePeer(ui::ScrollBox& box, void* parent, FormContext& ctx) {
    return std::make_unique<ScrollBoxPeer>(box, parent, ctx);
}

}  // namespace win32
