// The controls that show or take text: labels, edit boxes and their typed characters,
// memos.
#include <windows.h>
//
#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "platform/win32/win32_peers.h"

namespace win32 {
namespace {

namespace colors = ui::colors;

// ---- Label --------------------------------------------------------------------------

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

// ---- Edit ---------------------------------------------------------------------------

std::wstring textOf(HWND hwnd) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

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

// ---- Memo ---------------------------------------------------------------------------

class MemoPeer : public TextBoxPeer {
public:
    MemoPeer(ui::Memo& memo, void* parent, FormContext& ctx) : TextBoxPeer(memo, ctx), memo_(memo) {
        setWindow(makeChild(L"EDIT",
                            ES_MULTILINE | ES_AUTOVSCROLL | (memo.wordWrap() ? 0 : ES_AUTOHSCROLL) | tabStopStyle(memo),
                            0, parent));
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

}  // namespace

std::unique_ptr<ui::view::ControlPeer> makePeer(ui::Label& label, void* parent, FormContext& ctx) {
    return std::make_unique<LabelPeer>(label, parent, ctx);
}

std::unique_ptr<ui::view::ControlPeer> makePeer(ui::Edit& edit, void* parent, FormContext& ctx) {
    return std::make_unique<EditPeer>(edit, parent, ctx);
}

std::unique_ptr<ui::view::ControlPeer> makePeer(ui::Memo& memo, void* parent, FormContext& ctx) {
    return std::make_unique<MemoPeer>(memo, parent, ctx);
}

}  // namespace win32
