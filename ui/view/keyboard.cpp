#include "ui/view/keyboard.h"

#include <algorithm>
#include <vector>

#include "ui/controls.h"
#include "ui/form.h"
#include "ui/view/form_binding.h"

namespace ui::view {
namespace {

// A control the user could reach now: it and every parent below the window shown and
// enabled, and each notebook page among them the one shown.
bool reachable(const ui::Control& c) {
    for (const ui::Control* p = &c; p->parent(); p = p->parent()) {
        if (!p->enabled() || !p->visible()) return false;
        if (const auto* page = dynamic_cast<const ui::NotebookPage*>(p)) {
            const auto* nb = static_cast<const ui::TabbedNotebook*>(page->parent());
            if (nb->pages()[static_cast<std::size_t>(nb->pageIndex())] != page) return false;
        }
    }
    return true;
}

void collectTabStops(const ui::Control& parent, std::vector<const ui::Control*>& out) {
    for (const ui::Control* c : inTabOrder(parent)) {
        if (c->tabStop() && reachable(*c)) out.push_back(c);
        collectTabStops(*c, out);
    }
}

// The first reachable push button below `parent` that `role` picks.
ui::Button* findButton(const ui::Control& parent, bool (ui::Button::*role)() const) {
    for (ui::Control* c : parent.children()) {
        if (auto* b = dynamic_cast<ui::Button*>(c); b && (b->*role)() && reachable(*b)) return b;
        if (ui::Button* inner = findButton(*c, role)) return inner;
    }
    return nullptr;
}

std::function<void()> press(ui::Button* b) {
    if (!b) return {};
    return [b] { b->click(); };
}

}  // namespace

ui::Control* nextTabStop(const ui::Form& form, const ui::Control* from, bool backwards) {
    std::vector<const ui::Control*> stops;
    collectTabStops(form, stops);
    if (stops.empty()) return nullptr;
    if (backwards) std::reverse(stops.begin(), stops.end());
    const auto at = std::find(stops.begin(), stops.end(), from);
    const auto next = at == stops.end() || at + 1 == stops.end() ? stops.begin() : at + 1;
    return const_cast<ui::Control*>(*next);
}

bool isArrow(ui::Key k) { return k == Key::Left || k == Key::Right || k == Key::Up || k == Key::Down; }

std::function<void()> keyAction(ui::Form& form, ui::Control* focused, KeyStroke stroke) {
    const ui::Key key = stroke.key;
    if (key == Key::F4 && stroke.alt && !stroke.ctrl) return [&form] { form.close(); };
    if (stroke.ctrl || stroke.alt || key == Key::Other) return {};

    if (auto* drawn = dynamic_cast<ui::CustomControl*>(focused)) {
        if (key == Key::Space || (isArrow(key) && drawn->wantsArrows())) return [drawn, key] { drawn->keyDown(key); };
    }
    if (auto* edit = dynamic_cast<ui::Edit*>(focused); edit && edit->arrowKeySpin()) {
        if (key == Key::Up || key == Key::Down) return [edit, key] { edit->keyDown(key); };
    }
    if (auto* radio = dynamic_cast<ui::RadioButton*>(focused); radio && radio->checked()) {
        if (key == Key::Space || key == Key::Return) return [radio] { radio->doubleClick(); };
    }
    if (key == Key::Return) {
        if (auto* button = dynamic_cast<ui::Button*>(focused)) return press(button);
        if (dynamic_cast<ui::Memo*>(focused)) return {};  // a new line
        return press(findButton(form, &ui::Button::isDefault));
    }
    if (key == Key::Escape) return press(findButton(form, &ui::Button::isCancel));
    return {};
}

}  // namespace ui::view
