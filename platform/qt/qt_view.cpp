// Top-level windows, menus, tab order and the application title.
#include "platform/qt/qt_view.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
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
#include "ui/view/form_binding.h"

namespace qt {
namespace {

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

class MenuPeer : public ui::view::MenuPeer {
public:
    MenuPeer(ui::MenuItem& item, QAction* action) : ui::view::MenuPeer(item), action_(action) {}
    void sync() override {
        ++updating_;
        if (item().checked()) action_->setCheckable(true);
        action_->setChecked(item().checked());
        --updating_;
    }
    bool updating() const { return updating_ > 0; }
    QAction* action() const { return action_; }

private:
    QAction* action_;
    int updating_ = 0;
};

struct FormEntry : public FormContext, public ui::view::FormBinding {
    FormEntry(QtView::Impl& view, ui::Form& form) : FormBinding(form), view(view) {}

    ui::Application& application() override { return form().application(); }
    void dispatch(const std::function<void()>& event) override { FormBinding::dispatch(event); }
    ControlPeer* peerOf(const ui::Component& c) override { return static_cast<ControlPeer*>(peer(c)); }
    // The control whose focus target `w` is, or null.
    ui::Control* controlFocusedAt(const QWidget* w) const {
        for (ui::view::ControlPeer* p : controls()) {
            if (w && static_cast<ControlPeer*>(p)->focusTarget() == w) return &p->control();
        }
        return nullptr;
    }

    void attach();
    void addMenuAction(ui::MenuItem& item, QAction* action);
    void buildMenu(ui::MenuItem& item, QMenu* menu);

    QtView::Impl& view;
    FormWindow* window = nullptr;
    QMenuBar* menuBar = nullptr;
    QWidget* client = nullptr;

protected:
    std::unique_ptr<ui::view::ControlPeer> makePeer(ui::Control& c, ui::view::ControlPeer& parent) override {
        return makeControlPeer(c, static_cast<ControlPeer&>(parent).container(), *this);
    }
    void orderTabs() override;
    void showTitle() override;
    void destroyWindow() override {
        delete window;
        window = nullptr;
    }
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
        if (form_.visible() && form_.minimisedShow()) {
            // Started with the session: on the task bar, leaving the focus where it is.
            // Mapped first, then minimised: a window manager takes the request to
            // minimise only from a window it manages, and drops one sent before the map.
            entry_.window->setAttribute(Qt::WA_ShowWithoutActivating, true);
            entry_.window->show();
            entry_.window->setWindowState(entry_.window->windowState() | Qt::WindowMinimized);
            entry_.window->setAttribute(Qt::WA_ShowWithoutActivating, false);
        } else if (form_.visible()) {
            entry_.window->show();
            // A tool window shows no close box, yet closes from the keyboard.
            if (form_.borderStyle() == ui::BorderStyle::Tool) allowX11Close(entry_.window);
        } else {
            entry_.window->hide();
        }
    }
    // A disabled form takes no input (see InputFilter) but keeps its look and its
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

// Swallows the user's input to the windows of disabled forms, and hands every key to
// the shared key rules first.
class InputFilter : public QObject {
public:
    explicit InputFilter(QtView::Impl& view) : view_(view) {}

protected:
    bool eventFilter(QObject* obj, QEvent* e) override;

private:
    bool routeKey(QWidget* w, QKeyEvent* e);
    QtView::Impl& view_;
};

struct QtView::Impl {
    Impl() : input(*this) { qApp->installEventFilter(&input); }
    ~Impl() {
        qApp->removeEventFilter(&input);
        forms.detachAll();
        delete tray;
    }

    FormEntry* entryOf(const QWidget* window) const {
        for (const auto& f : forms) {
            if (f->window == window) return f.get();
        }
        return nullptr;
    }
    bool blocks(const QWidget* window) const {
        const FormEntry* entry = entryOf(window);
        return entry && !entry->form().enabled();
    }

    void applyTitle();
    void applyTitleTo(FormEntry& entry);
    void updateTray();
    QString trayToolTip() const;
    void showMainWindow();

    ui::view::FormList<FormEntry> forms;
    std::string title;
    std::string notice;
    QSystemTrayIcon* tray = nullptr;
    InputFilter input;
};

namespace {

ui::Key keyOf(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Left: return ui::Key::Left;
    case Qt::Key_Right: return ui::Key::Right;
    case Qt::Key_Up: return ui::Key::Up;
    case Qt::Key_Down: return ui::Key::Down;
    case Qt::Key_Space: return ui::Key::Space;
    case Qt::Key_Return:
    case Qt::Key_Enter: return ui::Key::Return;
    case Qt::Key_Escape: return ui::Key::Escape;
    case Qt::Key_F4: return ui::Key::F4;
    default: return ui::Key::Other;
    }
}

}  // namespace

bool InputFilter::routeKey(QWidget* w, QKeyEvent* e) {
    // Once, where the key lands first: the focus widget, or the window without one.
    QWidget* focus = QApplication::focusWidget();
    if (focus ? w != focus : !w->isWindow()) return false;
    FormEntry* entry = view_.entryOf(w->window());
    if (!entry) return false;
    const ui::view::KeyStroke stroke{keyOf(e->key()), (e->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) != 0,
                                     (e->modifiers() & Qt::AltModifier) != 0, e->isAutoRepeat()};
    if (e->type() == QEvent::KeyRelease) return !e->isAutoRepeat() && entry->keyReleased(stroke.key);
    return entry->keyPressed(entry->controlFocusedAt(focus), stroke);
}

bool InputFilter::eventFilter(QObject* obj, QEvent* e) {
    switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::Shortcut:
    case QEvent::ContextMenu: {
        if (!obj->isWidgetType()) return false;
        auto* w = static_cast<QWidget*>(obj);
        if (view_.blocks(w->window())) return true;
        if (e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease)
            return routeKey(w, static_cast<QKeyEvent*>(e));
        return false;
    }
    default: return false;
    }
}

void FormWindow::closeEvent(QCloseEvent* e) {
    // The model decides what closing means (the main form ends the program).
    e->ignore();
    if (!entry_.form().enabled()) return;
    entry_.dispatch([this] { entry_.form().close(); });
}

void FormWindow::changeEvent(QEvent* e) {
    if (e->type() == QEvent::ActivationChange && !entry_.detaching()) {
        if (isActiveWindow()) {
            entry_.form().activated();
        } else if (!QApplication::activeWindow() && entry_.form().active()) {
            // The user went to another program: none of ours is active now.
            entry_.form().application().setActiveForm(nullptr);
        }
    }
    QWidget::changeEvent(e);
}

void FormWindow::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (entry_.isMain()) entry_.view.applyTitleTo(entry_);
}

void FormEntry::attach() {
    ui::Form& f = form();
    const Qt::WindowFlags flags = f.borderStyle() == ui::BorderStyle::Tool
                                      ? Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                                      : Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                            Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                                            Qt::WindowCloseButtonHint;
    window = new FormWindow(*this, flags);
    window->setPalette(classicPalette());
    window->setAutoFillBackground(true);
    window->setAttribute(Qt::WA_QuitOnClose, false);
    if (!f.icon().empty()) window->setWindowIcon(resourceIcon(f.icon()));
    if (f.menu()) {
        menuBar = new QMenuBar(window);
        menuBar->setNativeMenuBar(false);
    }
    client = new QWidget(window);
    client->setAutoFillBackground(true);

    if (ui::MainMenu* menu = f.menu()) {
        for (ui::MenuItem* item : menu->items()) {
            if (item->items().empty()) {
                addMenuAction(*item, menuBar->addAction(toQString(item->caption())));
            } else {
                QMenu* sub = menuBar->addMenu(toQString(item->caption()));
                sub->setFont(toQFont(f.font()));
                addMenuAction(*item, sub->menuAction());
                buildMenu(*item, sub);
            }
        }
    }
    bind(std::make_unique<FormPeer>(f, *this), [this] { view.forms.detach(*this); });
}

void FormEntry::buildMenu(ui::MenuItem& item, QMenu* menu) {
    for (ui::MenuItem* child : item.items()) {
        if (child->isSeparator()) {
            menu->addSeparator();
        } else if (child->items().empty()) {
            addMenuAction(*child, menu->addAction(toQString(child->caption())));
        } else {
            QMenu* sub = menu->addMenu(toQString(child->caption()));
            addMenuAction(*child, sub->menuAction());
            buildMenu(*child, sub);
        }
    }
}

void FormEntry::addMenuAction(ui::MenuItem& item, QAction* action) {
    auto owned = std::make_unique<MenuPeer>(item, action);
    MenuPeer* p = owned.get();
    addMenu(std::move(owned));
    if (item.items().empty()) {
        QObject::connect(action, &QAction::triggered, action, [this, p] {
            if (!p->updating()) menuChosen(*p);
        });
    }
}

void FormEntry::orderTabs() {
    std::vector<QWidget*> chain;
    std::function<void(ui::Control&)> walk = [&](ui::Control& parent) {
        for (ui::Control* c : ui::view::inTabOrder(parent)) {
            if (ControlPeer* p = peerOf(*c)) {
                if (QWidget* target = p->focusTarget(); target && (target->focusPolicy() & Qt::TabFocus))
                    chain.push_back(target);
            }
            walk(*c);
        }
    };
    walk(form());
    for (std::size_t i = 1; i < chain.size(); ++i) QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void FormEntry::showTitle() { view.applyTitleTo(*this); }

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
    const bool armed = ui::view::isArmedTitle(title);
    tray->setIcon(resourceIcon(armed ? "tray-armed-16" : "tray-off-16"));
    tray->setToolTip(trayToolTip());
    tray->show();
}

QString QtView::Impl::trayToolTip() const {
    QString tip = toQString(title);
    if (!notice.empty()) tip += QLatin1Char('\n') + toQString(notice);
    return tip;
}

void QtView::Impl::showMainWindow() {
    for (const auto& f : forms) {
        if (f->isMain() && f->form().visible() && f->window) {
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

void QtView::attach(ui::Form& form) { impl_->forms.attach(form, *impl_); }

void QtView::detach(ui::Form& form) {
    if (FormEntry* entry = impl_->forms.find(form)) impl_->forms.detach(*entry);
}

void QtView::setApplicationTitle(const std::string& title) {
    impl_->title = title;
    impl_->applyTitle();
}

void QtView::showNotice(const std::string& text) {
    impl_->notice = text;
    impl_->updateTray();
}

std::string QtView::trayToolTip() const { return fromQString(impl_->trayToolTip()); }

void QtView::showMainWindow() { impl_->showMainWindow(); }

QWidget* QtView::window(const ui::Form& form) const {
    FormEntry* entry = impl_->forms.find(form);
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
        for (const auto& m : f->menus()) {
            if (&m->item() == &item) return static_cast<const MenuPeer&>(*m).action();
        }
    }
    return nullptr;
}

}  // namespace qt
