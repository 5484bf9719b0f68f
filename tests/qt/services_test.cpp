// Message boxes and the open-file dialog on Qt.
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <ostream>

#include "platform/qt/qt_view.h"
#include "platform/qt/qt_window_services.h"
#include "tests/qt/qt_app.h"

namespace {

struct FilterCase {
    const char* name;
    const char* filter;
    std::vector<std::string> expected;
};

void PrintTo(const FilterCase& c, std::ostream* out) { *out << '"' << c.filter << '"'; }

class NameFilters : public ::testing::TestWithParam<FilterCase> {};

TEST_P(NameFilters, BecomeTheDialogsFilters) {
    EXPECT_EQ(qtui::nameFilters(GetParam().filter), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Filters, NameFilters,
    ::testing::Values(
        // The dialog takes its patterns from the parentheses at the end of a filter.
        FilterCase{"PatternsAddedUnlessShown", "Wave files (*.wav)|*.wav|All files|*.*",
                   {"Wave files (*.wav)", "All files (*.*)"}},
        FilterCase{"PatternsJoined", "Music files|*.mid;*.midi;*.rmi", {"Music files (*.mid *.midi *.rmi)"}},
        FilterCase{"OtherParenthesesKept", "Sounds (short)|*.wav", {"Sounds (short) (*.wav)"}},
        FilterCase{"NoDescription", "|*.wav", {"(*.wav)"}},
        FilterCase{"NoPatternsDropped", "Wave files", {}},
        FilterCase{"EmptyPatternsDropped", "Nothing|;|Wave|*.wav", {"Wave (*.wav)"}}),
    [](const auto& info) { return std::string(info.param.name); });

class Services : public qttest::WithApplication, public ::testing::Test {
protected:
    // Runs `inspect` on the modal window once it is up; `inspect` closes it.
    void whenModalOpens(std::function<void(QWidget*)> inspect) {
        auto* poll = new QTimer(&owner_);
        QObject::connect(poll, &QTimer::timeout, poll, [poll, inspect] {
            if (QWidget* w = QApplication::activeModalWidget()) {
                poll->stop();
                inspect(w);
            }
        });
        poll->start(10);
    }

    QObject owner_;
    qtui::QtView view;
    qtui::QtWindowServices services{view};
};

struct BoxCase {
    unsigned flags;
    QMessageBox::Icon icon;
    bool onTop;
};

void PrintTo(const BoxCase& c, std::ostream* out) { *out << "flags " << c.flags; }

class MessageBoxes : public Services, public ::testing::WithParamInterface<BoxCase> {};

TEST_P(MessageBoxes, ShowPlainTextCaptionAndIcon) {
    QMessageBox* shown = nullptr;
    bool plain = false, onTop = false;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString text, title;
    whenModalOpens([&](QWidget* w) {
        shown = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(shown, nullptr);
        plain = shown->textFormat() == Qt::PlainText;
        onTop = shown->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        icon = shown->icon();
        text = shown->text();
        title = shown->windowTitle();
        shown->accept();
    });
    services.messageBox("Wake <b>up</b>.", "REMINDER!", GetParam().flags);
    EXPECT_EQ(text, QStringLiteral("Wake <b>up</b>."));
    EXPECT_EQ(title, QStringLiteral("REMINDER!"));
    EXPECT_TRUE(plain);
    EXPECT_EQ(icon, GetParam().icon);
    EXPECT_EQ(onTop, GetParam().onTop);
}

INSTANTIATE_TEST_SUITE_P(Flags, MessageBoxes,
                         ::testing::Values(BoxCase{0x10, QMessageBox::Critical, false},
                                           BoxCase{0x1030, QMessageBox::Warning, true},
                                           BoxCase{0x00, QMessageBox::NoIcon, false}),
                         [](const auto& info) { return "flags" + std::to_string(info.param.flags); });

TEST_F(Services, OpenDialogTakesATypedNewNameAndGivesNothingWhenCancelled) {
    QTemporaryDir dir;
    const QString wanted = dir.filePath(QStringLiteral("new alarm.wav"));
    QStringList filters;
    QString preset;
    whenModalOpens([&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->fileMode(), QFileDialog::AnyFile);  // a typed name of a file that does not exist
        filters = dialog->nameFilters();
        auto* typed = w->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        preset = typed->text();
        typed->setText(QStringLiteral("new alarm.wav"));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    const auto chosen = services.openFileDialog("Wave files (*.wav)|*.wav", dir.filePath("old.wav").toStdString());
    EXPECT_EQ(chosen, wanted.toStdString());
    EXPECT_EQ(filters, QStringList{QStringLiteral("Wave files (*.wav)")});
    EXPECT_EQ(preset, QStringLiteral("old.wav"));

    whenModalOpens([](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
    EXPECT_EQ(services.openFileDialog("Music files|*.mid", ""), std::nullopt);
}

}  // namespace
