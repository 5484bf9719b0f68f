#include "platform/win32/win32_platform.h"

#include <utility>

#include <windows.h>

#include <commctrl.h>

#include "platform/win32/win32_event_loop.h"
#include "platform/instance/win32_single_instance.h"
#include "platform/win32/win32_view.h"
#include "platform/win32/win32_window_services.h"

namespace win32 {
namespace {

// The common controls (tabs, up-down buttons) before any window is made.
bool initCommonControls() {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_UPDOWN_CLASS | ICC_BAR_CLASSES;
    return InitCommonControlsEx(&controls) != 0;
}

}  // namespace

struct Win32Platform::Impl {
    Impl() {
        view.onModalLoop = [this](bool entering) { loop.modalLoop(entering); };
        loop.preTranslate = [this](void* msg) { return view.preTranslate(msg); };
    }

    bool controlsReady = initCommonControls();
    Win32EventLoop loop;
    Win32View view;
    Win32WindowServices services{view, loop};
    std::unique_ptr<instance::SingleInstance> instance;
};

Win32Platform::Win32Platform() : impl_(std::make_unique<Impl>()) {}

Win32Platform::~Win32Platform() = default;

bool Win32Platform::claimInstance() {
    impl_->instance = std::make_unique<instance::SingleInstance>(instance::SingleInstance::userKey());
    impl_->instance->onShow = [this] { impl_->view.showMainWindow(); };
    return impl_->instance->claim();
}

sys::EventLoop& Win32Platform::loop() { return impl_->loop; }

void Win32Platform::onClockChanged(std::function<void()> changed) { impl_->loop.setClockChanged(std::move(changed)); }

sys::WindowServices& Win32Platform::services() { return impl_->services; }

void Win32Platform::attach(ui::Form& form) { impl_->view.attach(form); }

void Win32Platform::detach(ui::Form& form) { impl_->view.detach(form); }

void Win32Platform::onSessionEnd(std::function<void()> save) { impl_->view.onSessionEnd = std::move(save); }

}  // namespace win32
