// Message boxes and the open-file dialog on Qt.
#include <QApplication>
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

// The dialog takes its patterns from the parentheses at the end of a filter.
TEST(NameFilters, BecomeTheDialogsFilters) {
    const std::vector<std::pair<const char*, std::vector<std::string>>> cases = {
        {"Wave files (*.wav)|*.wav|All files|*.*", {"Wave files (*.wav)", "All files (*.*)"}},
        {"Music files|*.mid;*.midi;*.rmi", {"Music files (*.mid *.midi *.rmi)"}},
        {"Sounds (short)|*.wav", {"Sounds (short) (*.wav)"}},
        {"|*.wav", {"(*.wav)"}},
        {"Wave files", {}},
        {"Nothing|;|Wave|*.wav", {"Wave (*.wav)"}}};
    for (const auto& [filter, expected] : cases) EXPECT_EQ(qtui::nameFilters(filter), expected) << filter;
}

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

// A box shows its text as it is, its caption and its icon; a system-modal one stays on top.
TEST_F(Services, MessageBoxesFollowTheirFlags) {
    for (const auto& [flags, icon, onTop] :
         {std::tuple{0x10u, QMessageBox::Critical, false}, std::tuple{0x1030u, QMessageBox::Warning, true},
          std::tuple{0x00u, QMessageBox::NoIcon, false}}) {
        QString text, title;
        QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
        bool shownOnTop = false, plain = false;
        whenModalOpens([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr);
            text = box->text();
            title = box->windowTitle();
            shownIcon = box->icon();
            shownOnTop = box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
            plain = box->textFormat() == Qt::PlainText;
            box->accept();
        });
        services.messageBox("Wake <b>up</b>.", "REMINDER!", flags);
        EXPECT_EQ(text, QStringLiteral("Wake <b>up</b>."));
        EXPECT_EQ(title, QStringLiteral("REMINDER!"));
        EXPECT_TRUE(plain);
        EXPECT_EQ(shownIcon, icon) << "flags " << flags;
        EXPECT_EQ(shownOnTop, onTop) << "flags " << flags;
    }
}

TEST_F(Services, OpenDialogTakesATypedNewNameAndGivesNothingWhenCancelled) {
    QTemporaryDir dir;
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
    EXPECT_EQ(chosen, dir.filePath(QStringLiteral("new alarm.wav")).toStdString());
    EXPECT_EQ(filters, QStringList{QStringLiteral("Wave files (*.wav)")});
    EXPECT_EQ(preset, QStringLiteral("old.wav"));

    whenModalOpens([](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
    EXPECT_EQ(services.openFileDialog("Music files|*.mid", ""), std::nullopt);
}

}  // namespace
