// The controls drawn here or made of arrows only: shapes, the up-down arrows beside an
// edit box, and the custom controls that paint on a canvas.
#include <windows.h>
//
#include <commctrl.h>

#include <exception>
#include <memory>
#include <utility>
#include <vector>

#include "platform/win32/win32_peers.h"
#include "sys/message_queue.h"
#include "ui/application.h"
#include "ui/canvas.h"

namespace win32 {
namespace {

namespace colors = ui::colors;

// ---- Shape --------------------------------------------------------------------------

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

// ---- CustomControl ------------------------------------------------------------------

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
        default: return ControlPeer::message(window, msg, wp, lp, result);
        }
    }

private:
    void mouse(std::intptr_t lp, const std::function<void(ui::Point)>& event) {
        const POINT p = pointOf(lp);
        const ui::Point at{ctx().unscaled(p.x), ctx().unscaled(p.y)};
        ctx().dispatch([&] { event(at); });
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

std::unique_ptr<ui::view::ControlPeer> makePeer(ui::Shape& shape, void* parent, FormContext& ctx) {
    return std::make_unique<ShapePeer>(shape, parent, ctx);
}

std::unique_ptr<ui::view::ControlPeer> makePeer(ui::UpDown& updown, void* parent, FormContext& ctx) {
    return std::make_unique<UpDownPeer>(updown, parent, ctx);
}

std::unique_ptr<ui::view::ControlPeer> makePeer(ui::CustomControl& control, void* parent, FormContext& ctx) {
    return std::make_unique<CustomPeer>(control, parent, ctx);
}

}  // namespace win32
