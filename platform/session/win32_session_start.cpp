// The per-user Run key starts the program at logon; one value names it while an
// alarm is armed.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/session/session_start.h"
#include "platform/text/win32_text.h"

namespace session {
namespace {

constexpr const wchar_t* runKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const wchar_t* valueName = L"Tolvane";

std::string because(LSTATUS status) {
    wchar_t* text = nullptr;
    const DWORD n =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(status), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = n && text ? std::wstring(text, n) : L"error " + std::to_wstring(status);
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.'))
        message.pop_back();
    return text::narrow(message);
}

std::wstring runningExecutable() {
    std::vector<wchar_t> buffer(MAX_PATH);
    while (true) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) return std::wstring(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

// The value the key holds now, or nothing when it has none (or not as text).
std::optional<std::wstring> currentValue(HKEY key) {
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(key, valueName, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS || type != REG_SZ)
        return std::nullopt;
    std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &bytes) !=
        ERROR_SUCCESS)
        return std::nullopt;
    value.resize(bytes / sizeof(wchar_t));
    while (!value.empty() && value.back() == L'\0') value.pop_back();
    return value;
}

class RunKeyValue : public sys::SessionStart {
public:
    explicit RunKeyValue(const SessionStartOptions& options)
        : executable_(options.executable.empty() ? runningExecutable() : text::widen(options.executable)) {}

    std::string setRegistered(bool on) override { return on ? add() : remove(); }

private:
    std::string add() {
        if (executable_.empty())
            return "Tolvane could not be set to start with the session: the program's own path is unknown";
        // The path is quoted: Windows would otherwise try each prefix up to a space as
        // a program of its own.
        const std::wstring command = L"\"" + executable_ + L"\" " + text::widen(minimisedArgument);
        HKEY key = nullptr;
        LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, runKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                                         nullptr, &key, nullptr);
        if (status == ERROR_SUCCESS) {
            if (currentValue(key) != command)
                status = RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                                        static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
            RegCloseKey(key);
        }
        if (status != ERROR_SUCCESS)
            return "Tolvane could not be set to start with the session (HKEY_CURRENT_USER\\" + text::narrow(runKey) +
                   ": " + because(status) + ")";
        return {};
    }

    static std::string remove() {
        HKEY key = nullptr;
        LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, runKey, 0, KEY_SET_VALUE, &key);
        if (status == ERROR_SUCCESS) {
            status = RegDeleteValueW(key, valueName);
            RegCloseKey(key);
        }
        if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) return {};
        return "Tolvane's start with the session could not be removed (HKEY_CURRENT_USER\\" + text::narrow(runKey) +
               ": " + because(status) + ")";
    }

    std::wstring executable_;
};

}  // namespace

std::unique_ptr<sys::SessionStart> createSessionStart(SessionStartOptions options) {
    return std::make_unique<RunKeyValue>(options);
}

}  // namespace session
