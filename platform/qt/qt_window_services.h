// Message boxes, the open-file dialog and the application title on Qt.
#pragma once

#include <string>
#include <vector>

#include "sys/window_services.h"

namespace qt {

class QtView;

class QtWindowServices : public sys::WindowServices {
public:
    explicit QtWindowServices(QtView& view) : view_(view) {}

    void messageBox(const std::string& text, const std::string& caption, unsigned flags) override;
    std::optional<std::string> openFileDialog(const std::string& filter, const std::string& fileName) override;
    void applicationTitleChanged(const std::string& title) override;

private:
    QtView& view_;
};

// "Description|*.a;*.b|..." as the file dialog's name filters: "Description (*.a *.b)".
std::vector<std::string> nameFilters(const std::string& filter);

}  // namespace qt
