#include "platform/win32/win32_window_services.h"

#include <windows.h>

#include <commdlg.h>

#include <cstdio>
#include <vector>

#include "platform/text/win32_text.h"
#include "platform/win32/win32_event_loop.h"
#include "platform/win32/win32_view.h"

namespace win32 {
namespace {

// The loop learns of a modal loop that the system runs, for as long as it runs.
class ModalScope {
public:
    explicit ModalScope(Win32EventLoop& loop) : loop_(loop) { loop_.modalLoop(true); }
    ~ModalScope() { loop_.modalLoop(false); }
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;

private:
    Win32EventLoop& loop_;
};

}  // namespace

void Win32WindowServices::messageBox(const std::string& text, const std::string& caption, unsigned flags) {
    // Errors also go to the debugger's log, where they outlast the box.
    if ((flags & sys::mb::iconMask) == sys::mb::iconStop) OutputDebugStringW(text::widen("tolvane: " + text).c_str());
    const ModalScope modal(loop_);
    MessageBoxW(static_cast<HWND>(view_.ownerWindow()), text::widen(text).c_str(), text::widen(caption).c_str(), flags);
}

std::optional<std::string> Win32WindowServices::openFileDialog(const std::string& filter, const std::string& fileName) {
    const std::wstring filters = dialogFilter(filter);
    std::vector<wchar_t> chosen(32768, L'\0');
    const std::wstring initial = text::widen(fileName);
    if (initial.size() < chosen.size()) std::copy(initial.begin(), initial.end(), chosen.begin());
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = static_cast<HWND>(view_.ownerWindow());
    dialog.lpstrFilter = filters.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = chosen.data();
    dialog.nMaxFile = static_cast<DWORD>(chosen.size());
    dialog.lpstrTitle = L"Open";
    // A typed name of a file that does not exist is accepted as it is; the working
    // folder stays where it was.
    dialog.Flags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_EXPLORER;
    const ModalScope modal(loop_);
    if (!GetOpenFileNameW(&dialog)) return std::nullopt;
    return text::narrow(chosen.data());
}

void Win32WindowServices::applicationTitleChanged(const std::string& title) { view_.setApplicationTitle(title); }

void Win32WindowServices::notify(const std::string& text) {
    sys::WindowServices::notify(text);
    view_.showNotice(text);
}

}  // namespace win32
