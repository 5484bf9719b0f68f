// One program per user on Windows, run under Wine in the cross build.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/instance/win32_single_instance.h"

namespace {

// A second start with the same key steps back and has the first show its window.
TEST(SingleInstance, SecondStartAsksTheFirstToShow) {
    const std::string key = "Tolvane-test-" + std::to_string(GetCurrentProcessId());
    instance::SingleInstance first(key), second(key);
    int shown = 0;
    first.onShow = [&shown] { ++shown; };
    ASSERT_TRUE(first.claim());
    EXPECT_FALSE(second.claim());
    MSG msg;
    for (int i = 0; i < 100 && shown == 0; ++i) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(10);
    }
    EXPECT_EQ(shown, 1);
    // The user's key names a mutex in the session's namespace, not another namespace.
    const std::string userKey = instance::SingleInstance::userKey();
    EXPECT_GT(userKey.size(), std::string("Tolvane-").size());
    EXPECT_EQ(userKey.find('\\'), std::string::npos);
}

}  // namespace
