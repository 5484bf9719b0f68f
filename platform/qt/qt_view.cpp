// Top-level windows, menus, tab order and the application title.
#include "platform/qt/qt_view.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QSystemTrayIcon>
#include <QWidget>

#include <algorithm>
#include <unordered_map>

#include "platform/qt/view_internal.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace qtui {
namespace {

// Lives among a form's components so the view hears of the form going away while
// its controls still exist.
class FormSentinel : public ui::Component {
public:
    FormSentinel(ui::Component* owner, std::function<void()> gone)
        : ui::Component(owner, std::string()), gone_(std::move(gone)) {}
    ~FormSentinel() override {
        if (gone_) gone_();
    }
    void disarm() { gone_ = nullptr; }

private:
    std::function<void()> gone_;
};

// The platform style with the classic sizes of check marks and radio dots, so captions
// fit the designed widths of their buttons.
class ClassicMetricsStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        switch (metric) {
        case PM_IndicatorWidth:
        case PM_IndicatorHeight:
        case PM_ExclusiveIndicatorWidth:
        case PM_ExclusiveIndicatorHeight: return 13;
        case PM_CheckBoxLabelSpacing:
        case PM_RadioButtonLabelSpacing: return 4;
        default: return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }
};

bool isArmedTitle(const std::string& title) { return title.rfind("Tolvane @", 0) == 0; }

}  // namespace

struct FormEntry;

class FormWindow : public QWidget {
public:
    FormWindow(FormEntry& entry, Qt::WindowFlags flags) : QWidget(nullptr, flags), entry_(entry) {}

protected:
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    FormEntry& entry_;
};

class MenuPeer : public ui::ComponentPeer {
public:
    MenuPeer(ui::MenuItem& item, QAction* action) : item_(item), action_(action) {}
    void componentChanged(ui::Component&, ui::Change what) override {
        if (what == ui::Change::Checked) sync();
    }
    void sync() {
        ++updating_;
        if (item_.checked()) action_->setCheckable(true);
        action_->setChecked(item_.checked());
        --updating_;
    }
    bool updating() const { return updating_ > 0; }
    ui::MenuItem& item() const { return item_; }
    QAction* action() const { return action_; }

private:
    ui::MenuItem& item_;
    QAction* action_;
    int updating_ = 0;
};

struct FormEntry : public FormContext {
    FormEntry(QtView::Impl& view, ui::Form& form) : view(view), form(form) {}

    ui::Application& application() override { return form.application(); }
    void dispatch(const std::function<void()>& event) override {
        if (!detaching) form.application().dispatch(event);
    }
    ControlPeer* peerOf(const ui::Component& c) override {
        const auto it = peers.find(&c);
        return it == peers.end() ? nullptr : it->second.get();
    }
    bool isMain() const { return form.application().mainForm() == &form; }

    QtView::Impl& view;
    ui::Form& form;
    FormWindow* window = nullptr;
    QMenuBar* menuBar = nullptr;
    QWidget* client = nullptr;
    std::unordered_map<const ui::Component*, std::unique_ptr<ControlPeer>> peers;
    std::vector<ControlPeer*> order;  // creation order
    std::vector<std::unique_ptr<MenuPeer>> menus;
    FormSentinel* sentinel = nullptr;
    bool detaching = false;
};

// The form itself: a top-level window whose client area lies below the menu bar.
class FormPeer : public ControlPeer {
public:
    FormPeer(ui::Form& form, FormEntry& entry) : ControlPeer(form, entry), form_(form), entry_(entry) {
        setWidget(entry.window);
    }

    QWidget* container() const override { return entry_.client; }
    QWidget* focusTarget() const override { return nullptr; }

    int menuHeight() const {
        if (!entry_.menuBar) return 0;
        const int h = entry_.menuBar->heightForWidth(form_.width());
        return h > 0 ? h : entry_.menuBar->sizeHint().height();
    }

protected:
    void applyGeometry() override {
        const ui::Rect b = form_.bounds();
        const int mh = menuHeight();
        if (entry_.menuBar) entry_.menuBar->setGeometry(0, 0, b.width(), mh);
        entry_.client->setGeometry(0, mh, b.width(), b.height());
        entry_.window->setFixedSize(b.width(), b.height() + mh);
        entry_.window->setGeometry(b.left, b.top - mh, b.width(), b.height() + mh);
    }
    void applyVisible() override {
        if (form_.visible()) {
            entry_.window->show();
        } else {
            entry_.window->hide();
        }
    }
    // A disabled form takes no input (see InputBlocker) but keeps its look and its
    // focused control, as a window disabled under a box does.
    void applyEnabled() override {}
    void applyFont() override {
        ControlPeer::applyFont();
        if (entry_.menuBar) {
            entry_.menuBar->setFont(toQFont(form_.font()));
            applyGeometry();
        }
    }
    void apply(ui::Change what) override {
        if (what == ui::Change::Text) {
            entry_.window->setWindowTitle(toQString(form_.caption()));
        } else if (what == ui::Change::Activate) {
            if (!form_.visible()) return;
            if (entry_.window->isMinimized()) entry_.window->showNormal();
            entry_.window->show();
            entry_.window->raise();
            entry_.window->activateWindow();
        }
    }

private:
    ui::Form& form_;
    FormEntry& entry_;
};

// Swallows the user's input to the windows of disabled forms.
class InputBlocker : public QObject {
public:
    explicit InputBlocker(QtView::Impl& view) : view_(view) {}

protected:
    bool eventFilter(QObject* obj, QEvent* e) override;

private:
    QtView::Impl& view_;
};

struct QtView::Impl {
    Impl() : blocker(*this) { qApp->installEventFilter(&blocker); }
    ~Impl() {
        qApp->removeEventFilter(&blocker);
        while (!forms.empty()) detach(*forms.back());
        delete tray;
    }

    FormEntry* find(const ui::Form& form) const {
        for (const auto& f : forms) {
            if (&f->form == &form) return f.get();
        }
        return nullptr;
    }

    bool blocks(const QWidget* window) const {
        for (const auto& f : forms) {
            if (f->window == window) return !f->form.enabled();
        }
        return false;
    }

    void attach(ui::Form& form);
    void detach(FormEntry& entry);
    void buildControls(FormEntry& entry, ui::Control& parent, ControlPeer& parentPeer);
    void buildMenu(FormEntry& entry, ui::MenuItem& item, QMenu* menu);
    void addMenuAction(FormEntry& entry, ui::MenuItem& item, QAction* action);
    void setTabOrder(FormEntry& entry);
    void applyTitle();
    void applyTitleTo(FormEntry& entry);
    void updateTray();
    void showMainWindow();

    std::vector<std::unique_ptr<FormEntry>> forms;
    std::string title;
    QSystemTrayIcon* tray = nullptr;
    InputBlocker blocker;
};

bool InputBlocker::eventFilter(QObject* obj, QEvent* e) {
    switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
        if (obj->isWidgetType() && view_.blocks(static_cast<QWidget*>(obj)->window())) return true;
        return false;
    default: return false;
    }
}

void FormWindow::closeEvent(QCloseEvent* e) {
    // The model decides what closing means (the main form ends the program).
    e->ignore();
    if (!entry_.form.enabled()) return;
    entry_.dispatch([this] { entry_.form.close(); });
}

void FormWindow::changeEvent(QEvent* e) {
    if (e->type() == QEvent::ActivationChange && !entry_.detaching) {
        if (isActiveWindow()) {
            entry_.form.activated();
        } else if (!QApplication::activeWindow() && entry_.form.active()) {
            // The user went to another program: none of ours is active now.
            entry_.form.application().setActiveForm(nullptr);
        }
    }
    QWidget::changeEvent(e);
}

void FormWindow::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (entry_.isMain()) entry_.view.applyTitleTo(entry_);
}

void QtView::Impl::attach(ui::Form& form) {
    if (find(form)) return;
    auto owned = std::make_unique<FormEntry>(*this, form);
    FormEntry& entry = *owned;
    forms.push_back(std::move(owned));

    const Qt::WindowFlags flags = form.borderStyle() == ui::BorderStyle::Tool
                                      ? Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                                      : Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                            Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                                            Qt::WindowCloseButtonHint;
    entry.window = new FormWindow(entry, flags);
    entry.window->setPalette(classicPalette());
    entry.window->setAutoFillBackground(true);
    entry.window->setAttribute(Qt::WA_QuitOnClose, false);
    if (!form.icon().empty()) entry.window->setWindowIcon(resourceIcon(form.icon()));
    if (form.menu()) {
        entry.menuBar = new QMenuBar(entry.window);
        entry.menuBar->setNativeMenuBar(false);
    }
    entry.client = new QWidget(entry.window);
    entry.client->setAutoFillBackground(true);

    auto formPeer = std::make_unique<FormPeer>(form, entry);
    ControlPeer& root = *formPeer;
    entry.peers.emplace(&form, std::move(formPeer));
    form.setPeer(&root);
    buildControls(entry, form, root);

    if (ui::MainMenu* menu = form.menu()) {
        for (ui::MenuItem* item : menu->items()) {
            if (item->items().empty()) {
                addMenuAction(entry, *item, entry.menuBar->addAction(toQString(item->caption())));
            } else {
                QMenu* sub = entry.menuBar->addMenu(toQString(item->caption()));
                sub->setFont(toQFont(form.font()));
                addMenuAction(entry, *item, sub->menuAction());
                buildMenu(entry, *item, sub);
            }
        }
    }

    for (ControlPeer* peer : entry.order) peer->syncAll();
    setTabOrder(entry);
    entry.sentinel = form.add<FormSentinel>([this, &entry] {
        entry.sentinel = nullptr;
        detach(entry);
    });
    if (entry.isMain()) applyTitleTo(entry);
    // The window itself last: showing it needs everything in place.
    root.syncAll();
}

void QtView::Impl::buildControls(FormEntry& entry, ui::Control& parent, ControlPeer& parentPeer) {
    for (ui::Control* child : parent.children()) {
        std::unique_ptr<ControlPeer> peer = makeControlPeer(*child, parentPeer.container(), entry);
        if (!peer) continue;
        ControlPeer& p = *peer;
        entry.peers.emplace(child, std::move(peer));
        entry.order.push_back(&p);
        child->setPeer(&p);
        buildControls(entry, *child, p);
    }
}

void QtView::Impl::buildMenu(FormEntry& entry, ui::MenuItem& item, QMenu* menu) {
    for (ui::MenuItem* child : item.items()) {
        if (child->isSeparator()) {
            menu->addSeparator();
        } else if (child->items().empty()) {
            addMenuAction(entry, *child, menu->addAction(toQString(child->caption())));
        } else {
            QMenu* sub = menu->addMenu(toQString(child->caption()));
            addMenuAction(entry, *child, sub->menuAction());
            buildMenu(entry, *child, sub);
        }
    }
}

void QtView::Impl::addMenuAction(FormEntry& entry, ui::MenuItem& item, QAction* action) {
    auto peer = std::make_unique<MenuPeer>(item, action);
    MenuPeer* p = peer.get();
    entry.menus.push_back(std::move(peer));
    item.setPeer(p);
    p->sync();
    if (item.items().empty()) {
        QObject::connect(action, &QAction::triggered, action, [&entry, p] {
            if (p->updating()) return;
            entry.dispatch([p] { p->item().click(); });
            if (!entry.detaching) p->sync();
        });
    }
}

void QtView::Impl::setTabOrder(FormEntry& entry) {
    std::vector<QWidget*> chain;
    std::function<void(ui::Control&)> walk = [&](ui::Control& parent) {
        std::vector<ui::Control*> kids = parent.children();
        std::stable_sort(kids.begin(), kids.end(), [](const ui::Control* a, const ui::Control* b) {
            const int ka = a->tabOrder() < 0 ? INT32_MAX : a->tabOrder();
            const int kb = b->tabOrder() < 0 ? INT32_MAX : b->tabOrder();
            return ka < kb;
        });
        for (ui::Control* c : kids) {
            if (ControlPeer* peer = entry.peerOf(*c)) {
                if (QWidget* target = peer->focusTarget(); target && (target->focusPolicy() & Qt::TabFocus))
                    chain.push_back(target);
            }
            walk(*c);
        }
    };
    walk(entry.form);
    for (std::size_t i = 1; i < chain.size(); ++i) QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void QtView::Impl::detach(FormEntry& entry) {
    entry.detaching = true;
    if (entry.sentinel) {
        entry.sentinel->disarm();
        entry.sentinel = nullptr;
    }
    for (auto& [component, peer] : entry.peers) const_cast<ui::Component*>(component)->setPeer(nullptr);
    for (auto& menu : entry.menus) menu->item().setPeer(nullptr);
    delete entry.window;
    entry.window = nullptr;
    entry.peers.clear();
    entry.menus.clear();
    std::erase_if(forms, [&](const std::unique_ptr<FormEntry>& f) { return f.get() == &entry; });
}

void QtView::Impl::applyTitleTo(FormEntry& entry) {
    if (entry.window && !title.empty()) setX11IconName(entry.window, title);
}

void QtView::Impl::applyTitle() {
    for (const auto& f : forms) {
        if (f->isMain()) applyTitleTo(*f);
    }
    updateTray();
}

void QtView::Impl::updateTray() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        if (tray) tray->hide();
        return;
    }
    if (!tray) {
        tray = new QSystemTrayIcon;
        QObject::connect(tray, &QSystemTrayIcon::activated, tray, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) showMainWindow();
        });
    }
    const bool armed = isArmedTitle(title);
    tray->setIcon(resourceIcon(armed ? "tray-armed-16" : "tray-off-16"));
    tray->setToolTip(toQString(title));
    tray->show();
}

void QtView::Impl::showMainWindow() {
    for (const auto& f : forms) {
        if (f->isMain() && f->form.visible() && f->window) {
            f->window->showNormal();
            f->window->raise();
            f->window->activateWindow();
        }
    }
}

// ---- QtView ----------------------------------------------------------------------------

QtView::QtView() {
    // One style everywhere, so the designed pixel layout does not depend on the desktop.
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(new ClassicMetricsStyle(style));
    QGuiApplication::setQuitOnLastWindowClosed(false);
    installAccessibility();
    impl_ = std::make_unique<Impl>();
}

QtView::~QtView() = default;

void QtView::attach(ui::Form& form) { impl_->attach(form); }

void QtView::detach(ui::Form& form) {
    if (FormEntry* entry = impl_->find(form)) impl_->detach(*entry);
}

void QtView::setApplicationTitle(const std::string& title) {
    impl_->title = title;
    impl_->applyTitle();
}

void QtView::showMainWindow() { impl_->showMainWindow(); }

QWidget* QtView::window(const ui::Form& form) const {
    FormEntry* entry = impl_->find(form);
    return entry ? entry->window : nullptr;
}

QWidget* QtView::widget(const ui::Component& control) const {
    for (const auto& f : impl_->forms) {
        if (ControlPeer* p = f->peerOf(control)) return p->widget();
    }
    return nullptr;
}

QAction* QtView::action(const ui::MenuItem& item) const {
    for (const auto& f : impl_->forms) {
        for (const auto& m : f->menus) {
            if (&m->item() == &item) return m->action();
        }
    }
    return nullptr;
}

}  // namespace qtui
