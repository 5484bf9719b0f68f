#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

#include "platform/qt/qt_view.h"
#include "platform/qt/qt_window_services.h"
#include "tests/qt/qt_app.h"

namespace {

struct FilterCase {
    const char* filter;
    std::vector<std::string> expected;
};

class NameFilters : public ::testing::TestWithParam<FilterCase> {};

TEST_P(NameFilters, BecomeTheDialogsFilters) {
    EXPECT_EQ(qtui::nameFilters(GetParam().filter), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Filters, NameFilters,
    ::testing::Values(FilterCase{"Wave files (*.wav)|*.wav", {"Wave files (*.wav)"}},
                      FilterCase{"Music files|*.mid;*.midi;*.rmi", {"Music files (*.mid *.midi *.rmi)"}},
                      FilterCase{"Wave files (*.wav)|*.wav|All files|*.*", {"Wave files (*.wav)", "All files (*.*)"}},
                      // Parentheses that are not the patterns stay in the description.
                      FilterCase{"Sounds (short)|*.wav", {"Sounds (short) (*.wav)"}},
                      FilterCase{"|*.wav", {"(*.wav)"}},
                      FilterCase{"", {}},
                      // A description without patterns, or empty patterns, is dropped.
                      FilterCase{"Wave files", {}},
                      FilterCase{"Nothing|;|Wave|*.wav", {"Wave (*.wav)"}}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

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

class MessageBoxes : public Services, public ::testing::WithParamInterface<BoxCase> {};

TEST_P(MessageBoxes, ShowTextCaptionIconAndStayUntilClosed) {
    QString text, title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool onTop = false;
    whenModalOpens([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        text = box->text();
        title = box->windowTitle();
        icon = box->icon();
        onTop = box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        box->accept();
    });
    services.messageBox("Wake <b>up</b>.", "REMINDER!", GetParam().flags);
    EXPECT_EQ(text, QStringLiteral("Wake <b>up</b>."));
    EXPECT_EQ(title, QStringLiteral("REMINDER!"));
    EXPECT_EQ(icon, GetParam().icon);
    EXPECT_EQ(onTop, GetParam().onTop);
}

INSTANTIATE_TEST_SUITE_P(Flags, MessageBoxes,
                         ::testing::Values(BoxCase{0x10, QMessageBox::Critical, false},
                                           BoxCase{0x1030, QMessageBox::Warning, true},
                                           BoxCase{0x00, QMessageBox::NoIcon, false}),
                         [](const auto& info) { return "flags" + std::to_string(info.param.flags); });

TEST_F(Services, OpenDialogAcceptsATypedNameOfAFileThatDoesNotExist) {
    QTemporaryDir dir;
    const QString wanted = dir.filePath(QStringLiteral("new alarm.wav"));
    QStringList filters;
    QString preset;
    whenModalOpens([&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->fileMode(), QFileDialog::AnyFile);
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
        filters = dialog->nameFilters();
        preset = w->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
        dialog->selectFile(wanted);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    const auto chosen = services.openFileDialog("Wave files (*.wav)|*.wav", dir.filePath("old.wav").toStdString());
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, wanted.toStdString());
    EXPECT_EQ(filters, QStringList{QStringLiteral("Wave files (*.wav)")});
    EXPECT_EQ(preset, QStringLiteral("old.wav"));
}

TEST_F(Services, OpenDialogCancelledGivesNothing) {
    whenModalOpens([](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
    EXPECT_FALSE(services.openFileDialog("Music files|*.mid", "").has_value());
}

}  // namespace
