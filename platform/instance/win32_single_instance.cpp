#include "platform/instance/win32_single_instance.h"

#include <windows.h>

#include <sddl.h>

#include <vector>

#include "platform/text/win32_text.h"

namespace instance {
namespace {

constexpr wchar_t kWindowClass[] = L"TolvaneInstance";
constexpr UINT kShowMessage = WM_APP + 0x101;

std::wstring userSid() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    std::wstring text;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    wchar_t* sid = nullptr;
    if (size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid)) {
        text = sid;
        LocalFree(sid);
    }
    CloseHandle(token);
    return text;
}

}  // namespace

struct SingleInstance::Impl {
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        if (message == kShowMessage) {
            auto* owner = reinterpret_cast<SingleInstance*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
            if (owner != nullptr && owner->onShow) owner->onShow();
            return 0;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

    // The running instance's window can lag behind its guard for a moment at start-up.
    void askRunningToShow() const {
        for (int attempt = 0; attempt < 50; ++attempt) {
            if (HWND running = FindWindowExW(HWND_MESSAGE, nullptr, kWindowClass, windowName.c_str())) {
                DWORD process = 0;
                GetWindowThreadProcessId(running, &process);
                // Let it come to the front: only the process the user started may.
                AllowSetForegroundWindow(process);
                PostMessageW(running, kShowMessage, 0, 0);
                return;
            }
            Sleep(100);
        }
    }

    std::wstring key;
    std::wstring windowName;
    HANDLE mutex = nullptr;
    HWND window = nullptr;
};

SingleInstance::SingleInstance(std::string key) : impl_(std::make_unique<Impl>()) {
    impl_->key = text::widen(key);
    impl_->windowName = L"Tolvane instance " + impl_->key;
}

SingleInstance::~SingleInstance() {
    if (impl_->window != nullptr) DestroyWindow(impl_->window);
    if (impl_->mutex != nullptr) CloseHandle(impl_->mutex);
}

bool SingleInstance::claim() {
    // "Local\": the user's session only; a user logged on twice runs one per session.
    impl_->mutex = CreateMutexW(nullptr, FALSE, (L"Local\\" + impl_->key).c_str());
    if (impl_->mutex == nullptr) return true;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(impl_->mutex);
        impl_->mutex = nullptr;
        impl_->askRunningToShow();
        return false;
    }
    WNDCLASSEXW cls{};
    cls.cbSize = sizeof cls;
    cls.lpfnWndProc = &Impl::windowProc;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.lpszClassName = kWindowClass;
    RegisterClassExW(&cls);
    impl_->window = CreateWindowExW(0, kWindowClass, impl_->windowName.c_str(), 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    cls.hInstance, this);
    return true;
}

std::string SingleInstance::userKey() {
    std::wstring user = userSid();
    if (user.empty()) {
        wchar_t name[257];
        DWORD size = static_cast<DWORD>(std::size(name));
        if (GetUserNameW(name, &size)) user = name;
    }
    // A backslash would name a namespace.
    for (wchar_t& c : user)
        if (c == L'\\') c = L'_';
    return "Tolvane-" + text::narrow(user);
}

}  // namespace instance
