// The per-user Run key: the value that starts the program minimised with the session,
// and its removal. A value the user had before the test is put back afterwards.
#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>

#include "platform/session/session_start.h"

namespace {

constexpr const wchar_t* runKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::optional<std::wstring> runValue() {
    wchar_t value[2048];
    DWORD bytes = sizeof value;
    DWORD type = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, runKey, L"Tolvane", RRF_RT_ANY, &type, value, &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    if (type != REG_SZ) return L"(not text)";
    return std::wstring(value);
}

void setRunValue(const std::optional<std::wstring>& value) {
    if (!value) {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, runKey, L"Tolvane");
        return;
    }
    RegSetKeyValueW(HKEY_CURRENT_USER, runKey, L"Tolvane", REG_SZ, value->c_str(),
                    static_cast<DWORD>((value->size() + 1) * sizeof(wchar_t)));
}

class RunKey : public ::testing::Test {
protected:
    void SetUp() override { before = runValue(); }
    void TearDown() override { setRunValue(before); }
    std::optional<std::wstring> before;
};

TEST_F(RunKey, RegisteringWritesTheQuotedPathThatStartsMinimisedAndRemovingTakesItAway) {
    // A path with spaces and beyond the code page, as under Program Files.
    auto start = session::createSessionStart({"C:\\Program Files\\T\xc3\xb6lvane\\tolvane.exe", {}});
    setRunValue(L"\"C:\\Old\\tolvane.exe\"");
    ASSERT_EQ(start->setRegistered(true), "");
    EXPECT_EQ(runValue(), L"\"C:\\Program Files\\T\u00f6lvane\\tolvane.exe\" --minimized");
    EXPECT_EQ(start->setRegistered(true), "");
    EXPECT_EQ(runValue(), L"\"C:\\Program Files\\T\u00f6lvane\\tolvane.exe\" --minimized");
    EXPECT_EQ(start->setRegistered(false), "");
    EXPECT_EQ(runValue(), std::nullopt);
    EXPECT_EQ(start->setRegistered(false), "");
}

// With no path given, the running program is the one the session starts.
TEST_F(RunKey, TheRunningProgramIsTheDefault) {
    wchar_t self[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameW(nullptr, self, static_cast<DWORD>(std::size(self)));
    ASSERT_GT(n, 0u);
    ASSERT_EQ(session::createSessionStart()->setRegistered(true), "");
    EXPECT_EQ(runValue(), L"\"" + std::wstring(self, n) + L"\" --minimized");
}

}  // namespace
