// The program's two windows on the Qt view: every control of the model has a widget
// where the model puts it, showing its caption in its font.
#include <QTest>

#include "forms/program.h"
#include "platform/qt/qt_view.h"
#include "tests/fakes/memory_profile_store.h"
#include "tests/fakes/scripted_device.h"
#include "tests/qt/qt_app.h"

namespace {

// What a control shows as its text, for the kinds whose widget has one.
std::string textOf(const ui::Control& c) {
    if (auto* x = dynamic_cast<const ui::Label*>(&c)) return x->caption();
    if (auto* x = dynamic_cast<const ui::Button*>(&c)) return x->caption();
    if (auto* x = dynamic_cast<const ui::CheckBox*>(&c)) return x->caption();
    if (auto* x = dynamic_cast<const ui::RadioButton*>(&c)) return x->caption();
    if (auto* x = dynamic_cast<const ui::Edit*>(&c)) return x->text();
    return {};
}

void expectWidgetsFollow(const qtui::QtView& view, const ui::Control& parent) {
    for (const ui::Control* c : parent.children()) {
        const QWidget* w = view.widget(*c);
        ASSERT_NE(w, nullptr) << c->name();
        // Pages sit inside the notebook's border, shown by its page index.
        if (!dynamic_cast<const ui::NotebookPage*>(c)) {
            const ui::Rect b = c->bounds();
            EXPECT_EQ(w->geometry(), QRect(b.left, b.top, b.width(), b.height())) << c->name();
            EXPECT_EQ(w->isHidden(), !c->visible()) << c->name();
        }
        EXPECT_EQ(w->property("text").toString().toStdString(), textOf(*c)) << c->name();
        EXPECT_EQ(w->font().pixelSize(), c->font().pixelHeight()) << c->name();
        EXPECT_EQ(w->font().bold(), c->font().bold) << c->name();
        const ui::Color color = c->font().color;
        EXPECT_EQ(w->palette().color(w->foregroundRole()), QColor(color.r, color.g, color.b)) << c->name();
        expectWidgetsFollow(view, *c);
    }
}

using MainWindows = qttest::QtTest;

TEST_F(MainWindows, EveryControlHasItsWidgetWhereTheModelPutsIt) {
    qtui::QtView view;
    fakes::ScriptedDevice device;
    fakes::MemoryProfileStore store;
    fakes::VirtualLoop clock;
    fakes::FixedLocale locale;
    Program program(app, MainFormServices{device, store, clock, locale});
    program.onFormCreated = [&view](ui::Form& form) { view.attach(form); };
    program.onFormDestroying = [&view](ui::Form& form) { view.detach(form); };
    program.start();
    ASSERT_NE(program.aboutForm(), nullptr);
    program.mainForm()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.window(*program.mainForm())));
    for (const ui::Form* form : std::initializer_list<ui::Form*>{program.mainForm(), program.aboutForm()}) {
        const QWidget* window = view.window(*form);
        EXPECT_EQ(window->windowTitle().toStdString(), form->caption());
        EXPECT_EQ(window->isVisible(), form->visible());
        expectWidgetsFollow(view, *form);
    }
    EXPECT_EQ(view.window(*program.aboutForm())->windowFlags() & Qt::WindowType_Mask, Qt::Tool);
}

}  // namespace
