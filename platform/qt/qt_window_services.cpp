#include "platform/qt/qt_window_services.h"

#include <cstdio>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QFileDialog>
#include <QMessageBox>
#include <QObject>

#include "platform/qt/qt_view.h"
#include "platform/qt/view_internal.h"

namespace qt {
namespace {

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    while (true) {
        const auto end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return parts;
}

std::string trim(const std::string& s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::vector<std::string> nameFilters(const std::string& filter) {
    std::vector<std::string> result;
    if (filter.empty()) return result;
    const std::vector<std::string> parts = split(filter, '|');
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        std::string patterns;
        for (const std::string& p : split(parts[i + 1], ';')) {
            const std::string pattern = trim(p);
            if (pattern.empty()) continue;
            if (!patterns.empty()) patterns += ' ';
            patterns += pattern;
        }
        if (patterns.empty()) continue;
        const std::string description = trim(parts[i]);
        const std::string suffix = "(" + patterns + ")";
        // The dialog takes the patterns from the parentheses at the end of a filter, so
        // a description that already ends with them is used as it is.
        if (description.size() >= suffix.size() &&
            description.compare(description.size() - suffix.size(), suffix.size(), suffix) == 0)
            result.push_back(description);
        else if (description.empty())
            result.push_back(suffix);
        else
            result.push_back(description + " " + suffix);
    }
    return result;
}

QtWindowServices::QtWindowServices(QtView& view) : view_(view), pending_(std::make_unique<QObject>()) {}

QtWindowServices::~QtWindowServices() = default;

void QtWindowServices::messageBox(const std::string& text, const std::string& caption, unsigned flags) {
    // Errors also go to the session's log, where they outlast the box.
    if ((flags & sys::mb::iconMask) == sys::mb::iconStop) std::fprintf(stderr, "tolvane: %s\n", text.c_str());
    QMessageBox box;
    box.setTextFormat(Qt::PlainText);
    box.setText(toQString(text));
    box.setWindowTitle(toQString(caption));
    box.setStandardButtons(QMessageBox::Ok);
    switch (flags & sys::mb::iconMask) {
    case sys::mb::iconStop: box.setIcon(QMessageBox::Critical); break;
    case sys::mb::iconExclamation: box.setIcon(QMessageBox::Warning); break;
    default: box.setIcon(QMessageBox::NoIcon); break;
    }
    if (flags & sys::mb::systemModal) box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.exec();
}

std::optional<std::string> QtWindowServices::openFileDialog(const std::string& filter, const std::string& fileName) {
    QFileDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Open"));
    // A typed name of a file that does not exist is accepted as it is.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    QStringList filters;
    for (const std::string& f : nameFilters(filter)) filters << toQString(f);
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    if (!fileName.empty()) {
        const QFileInfo info(toQString(fileName));
        if (info.isAbsolute() || fileName.find('/') != std::string::npos) dialog.setDirectory(info.absolutePath());
        dialog.selectFile(info.fileName());
    }
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return fromQString(QFileInfo(chosen.first()).absoluteFilePath());
}

void QtWindowServices::applicationTitleChanged(const std::string& title) { view_.setApplicationTitle(title); }

void QtWindowServices::notify(const std::string& text) {
    sys::WindowServices::notify(text);
    const QString service = QStringLiteral("org.freedesktop.Notifications");
    QDBusMessage call = QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/Notifications"),
                                                       service, QStringLiteral("Notify"));
    call << QStringLiteral("Tolvane") << 0u << QStringLiteral("tolvane") << QStringLiteral("Tolvane") << toQString(text)
         << QStringList() << QVariantMap() << -1;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        view_.showNotice(text);
        return;
    }
    // An answer that never comes counts as no server, after a while.
    constexpr int answerWithinMs = 10000;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, answerWithinMs), pending_.get());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, pending_.get(),
                     [this, watcher, text](QDBusPendingCallWatcher*) {
                         if (watcher->isError()) view_.showNotice(text);
                         watcher->deleteLater();
                     });
}

}  // namespace qt
