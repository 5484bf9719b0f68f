// Push buttons, drawn here, and the check boxes and radio buttons whose mark the model
// decides.
#include <windows.h>

#include <memory>

#include "platform/win32/win32_peers.h"

namespace win32 {
namespace {

namespace colors = ui::colors;

// ---- Button -------------------------------------------------------------------------

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

// ---- CheckBox, RadioButton ----------------------------------------------------------

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

}  // namespace

std::unique_ptr<ui::view::ControlPeer> makePeer(ui::Button& button, void* parent, FormContext& ctx) {
    return std::make_unique<ButtonPeer>(button, parent, ctx);
}

std::unique_ptr<ui::view::ControlPeer> makePeer(ui::CheckBox& box, void* parent, FormContext& ctx) {
    return std::make_unique<CheckBoxPeer>(box, parent, ctx);
}

std::unique_ptr<ui::view::ControlPeer> makePeer(ui::RadioButton& radio, void* parent, FormContext& ctx) {
    return std::make_unique<RadioPeer>(radio, parent, ctx);
}

}  // namespace win32
