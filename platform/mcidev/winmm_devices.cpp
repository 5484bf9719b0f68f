// The command interface as the system's MCI: each command goes to mciSendCommandA as
// it is, except that a notice's target is swapped for a hidden window of ours, which
// hands each MM_MCINOTIFY on to the queue handle that asked for it.
#include <map>
#include <set>
#include <stdexcept>

// Before the system's headers, which make the command interface's names macros.
#include "platform/mcidev/winmm_devices.h"

#include <windows.h>

#include <mmsystem.h>

namespace mcidev {
namespace {

constexpr const char* kWindowClass = "TolvaneMciNotices";

class SystemDevices final : public mci::DeviceInterface {
public:
    explicit SystemDevices(sys::MessageQueue& queue) : queue_(queue) {
        const HINSTANCE instance = ::GetModuleHandleA(nullptr);
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &SystemDevices::windowProc;
        wc.hInstance = instance;
        wc.lpszClassName = kWindowClass;
        // A second interface finds the class already there.
        if (::RegisterClassExA(&wc) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            throw std::runtime_error("The media notice window could not be registered");
        window_ = ::CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
        if (window_ == nullptr) throw std::runtime_error("The media notice window could not be made");
        ::SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }

    ~SystemDevices() override {
        // The devices left open would post to a window that is gone.
        for (const MCIDEVICEID device : open_) ::mciSendCommandA(device, MCI_CLOSE, MCI_WAIT, 0);
        ::DestroyWindow(window_);
    }

    SystemDevices(const SystemDevices&) = delete;
    SystemDevices& operator=(const SystemDevices&) = delete;

    mci::MCIERROR sendCommand(mci::MCIDEVICEID device, mci::UINT message, mci::DWORD flags, void* params) override {
        // Every record begins with its callback.
        auto* record = static_cast<MCI_GENERIC_PARMS*>(params);
        const bool notify = (flags & MCI_NOTIFY) != 0 && record != nullptr && record->dwCallback != 0;
        const DWORD_PTR callers = notify ? record->dwCallback : 0;
        // A command that takes over the device's notice, or closes it, makes the device
        // post the notice it held during the call: what was posted before goes out
        // first, so that what follows the call can be told apart.
        const bool takesOver = notify || message == MCI_CLOSE;
        if (takesOver) handOnPosted(0, 0, 0);
        const auto held = waiting_.find(device);
        const DWORD_PTR previous = held != waiting_.end() ? held->second : 0;

        if (notify) record->dwCallback = reinterpret_cast<DWORD_PTR>(window_);
        const MCIERROR result = ::mciSendCommandA(device, message, flags, reinterpret_cast<DWORD_PTR>(params));
        if (notify) record->dwCallback = callers;

        // An opening learns its id from the call.
        if (message == MCI_OPEN && result == 0) {
            device = static_cast<MCI_OPEN_PARMSA*>(params)->wDeviceID;
            open_.insert(device);
        }
        if (takesOver) handOnPosted(device, previous, notify ? callers : previous);
        if (notify && result == 0) waiting_[device] = callers;
        if (message == MCI_CLOSE && result == 0) {
            if (device == MCI_ALL_DEVICE_ID) {
                waiting_.clear();
                open_.clear();
            } else {
                waiting_.erase(device);
                open_.erase(device);
            }
        }
        return result;
    }

    bool errorString(mci::MCIERROR code, char* buffer, mci::UINT size) override {
        if (buffer == nullptr || size == 0) return false;
        if (::mciGetErrorStringA(code, buffer, size) != FALSE) {
            buffer[size - 1] = '\0';
            return true;
        }
        buffer[0] = '\0';
        return false;
    }

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == MM_MCINOTIFY) {
            if (auto* self = reinterpret_cast<SystemDevices*>(::GetWindowLongPtrA(window, GWLP_USERDATA))) {
                self->handOn(wParam, lParam);
                return 0;
            }
        }
        return ::DefWindowProcA(window, message, wParam, lParam);
    }

    void handOn(WPARAM outcome, LPARAM deviceId) {
        const auto it = waiting_.find(static_cast<MCIDEVICEID>(deviceId));
        if (it != waiting_.end()) post(it->second, outcome, deviceId);
    }

    void post(DWORD_PTR target, WPARAM outcome, LPARAM deviceId) {
        if (target == 0) return;
        queue_.postMessage(
            static_cast<sys::WindowHandle>(target),
            sys::Message{MM_MCINOTIFY, static_cast<std::uintptr_t>(outcome), static_cast<std::intptr_t>(deviceId)});
    }

    // Hands on the notices waiting in the window's queue. Those of `device` posted
    // during a call go to `previous` when they end the notice it held (superseded,
    // aborted) and to `current` otherwise; any other goes where its device's notices go.
    void handOnPosted(MCIDEVICEID device, DWORD_PTR previous, DWORD_PTR current) {
        MSG msg;
        while (::PeekMessageA(&msg, window_, MM_MCINOTIFY, MM_MCINOTIFY, PM_REMOVE) != FALSE) {
            if (device == 0 || static_cast<MCIDEVICEID>(msg.lParam) != device) {
                handOn(msg.wParam, msg.lParam);
            } else {
                const bool ended = msg.wParam == MCI_NOTIFY_SUPERSEDED || msg.wParam == MCI_NOTIFY_ABORTED;
                post(ended ? previous : current, msg.wParam, msg.lParam);
            }
        }
    }

    sys::MessageQueue& queue_;
    HWND window_ = nullptr;
    std::map<MCIDEVICEID, DWORD_PTR> waiting_;  // device -> the handle its notices go to
    std::set<MCIDEVICEID> open_;
};

}  // namespace

std::unique_ptr<mci::DeviceInterface> createDeviceInterface(sys::MessageQueue& queue) {
    return std::make_unique<SystemDevices>(queue);
}

}  // namespace mcidev
