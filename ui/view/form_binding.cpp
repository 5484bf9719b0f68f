#include "ui/view/form_binding.h"

#include <algorithm>
#include <climits>
#include <string>

#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace ui::view {

// Lives among a form's components so the view hears of the form going away while its
// controls still exist.
class FormBinding::Sentinel : public ui::Component {
public:
    Sentinel(ui::Component* owner, std::function<void()> gone)
        : ui::Component(owner, std::string()), gone_(std::move(gone)) {}
    ~Sentinel() override {
        if (gone_) gone_();
    }
    void disarm() { gone_ = nullptr; }

private:
    std::function<void()> gone_;
};

void MenuPeer::componentChanged(ui::Component&, ui::Change what) {
    if (what == ui::Change::Checked) sync();
}

FormBinding::~FormBinding() {
    if (sentinel_) sentinel_->disarm();
}

bool FormBinding::isMain() const { return form_.application().mainForm() == &form_; }

void FormBinding::dispatch(const std::function<void()>& event) {
    if (!detaching_) form_.application().dispatch(event);
}

ControlPeer* FormBinding::peer(const ui::Component& c) const {
    const auto it = peers_.find(&c);
    return it == peers_.end() ? nullptr : it->second.get();
}

void FormBinding::addMenu(std::unique_ptr<MenuPeer> menu) {
    menu->item().setPeer(menu.get());
    menu->sync();
    menus_.push_back(std::move(menu));
}

void FormBinding::menuChosen(MenuPeer& menu) {
    dispatch([&menu] { menu.item().click(); });
    // The click may have closed the form, and the peer with it.
    if (!detaching_) menu.sync();
}

bool FormBinding::keyPressed(ui::Control* focused, KeyStroke stroke) {
    if (detaching_) return false;
    const bool held = std::find(keysUsed_.begin(), keysUsed_.end(), stroke.key) != keysUsed_.end();
    if (stroke.repeat && held && !isArrow(stroke.key)) return true;
    const std::function<void()> action = keyAction(form_, focused, stroke);
    if (!action) {
        // A press the desktop handles has its release too (a release missed, because a
        // box took the keyboard meanwhile, is forgotten here).
        std::erase(keysUsed_, stroke.key);
        return false;
    }
    if (!held) keysUsed_.push_back(stroke.key);
    dispatch(action);
    return true;
}

bool FormBinding::keyReleased(ui::Key key) { return std::erase(keysUsed_, key) > 0; }

void FormBinding::bind(std::unique_ptr<ControlPeer> root, std::function<void()> gone) {
    ControlPeer& rootPeer = *root;
    peers_.emplace(&form_, std::move(root));
    form_.setPeer(&rootPeer);
    build(form_, rootPeer);
    for (ControlPeer* p : order_) p->syncAll();
    orderTabs();
    sentinel_ = form_.add<Sentinel>([this, gone = std::move(gone)] {
        sentinel_ = nullptr;
        gone();
    });
    if (isMain()) showTitle();
    rootPeer.syncAll();
}

void FormBinding::build(ui::Control& parent, ControlPeer& parentPeer) {
    for (ui::Control* child : parent.children()) {
        std::unique_ptr<ControlPeer> made = makePeer(*child, parentPeer);
        if (!made) continue;
        ControlPeer& p = *made;
        peers_.emplace(child, std::move(made));
        order_.push_back(&p);
        child->setPeer(&p);
        build(*child, p);
    }
}

void FormBinding::release() {
    detaching_ = true;
    if (sentinel_) {
        sentinel_->disarm();
        sentinel_ = nullptr;
    }
    for (auto& [component, p] : peers_) const_cast<ui::Component*>(component)->setPeer(nullptr);
    for (auto& menu : menus_) menu->item().setPeer(nullptr);
    destroyWindow();
    order_.clear();
    peers_.clear();
    menus_.clear();
}

bool isArmedTitle(const std::string& title) { return title.rfind("Tolvane @", 0) == 0; }

std::vector<ui::Control*> inTabOrder(const ui::Control& parent) {
    std::vector<ui::Control*> kids = parent.children();
    const auto key = [](const ui::Control* c) { return c->tabOrder() < 0 ? INT_MAX : c->tabOrder(); };
    std::stable_sort(kids.begin(), kids.end(),
                     [&](const ui::Control* a, const ui::Control* b) { return key(a) < key(b); });
    return kids;
}

}  // namespace ui::view
