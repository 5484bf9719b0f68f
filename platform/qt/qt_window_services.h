// Message boxes, the open-file dialog and the application title on Qt.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sys/window_services.h"

class QObject;

namespace qt {

class QtView;

class QtWindowServices : public sys::WindowServices {
public:
    explicit QtWindowServices(QtView& view);
    ~QtWindowServices() override;
    QtWindowServices(const QtWindowServices&) = delete;
    QtWindowServices& operator=(const QtWindowServices&) = delete;

    void messageBox(const std::string& text, const std::string& caption, unsigned flags) override;
    std::optional<std::string> openFileDialog(const std::string& filter, const std::string& fileName) override;
    void applicationTitleChanged(const std::string& title) override;
    // Standard error, and a desktop notification over the session bus; where no
    // notification server answers, the tray icon's tooltip. Returns at once.
    void notify(const std::string& text) override;

private:
    QtView& view_;
    // Parent of the notifications still waiting for their answer; they go with it.
    std::unique_ptr<QObject> pending_;
};

// "Description|*.a;*.b|..." as the file dialog's name filters: "Description (*.a *.b)".
std::vector<std::string> nameFilters(const std::string& filter);

}  // namespace qt
