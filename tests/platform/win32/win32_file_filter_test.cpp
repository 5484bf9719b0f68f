// The open-file dialog's filter, as the system's dialog takes it.
#include <gtest/gtest.h>

#include <string>

#include "platform/win32/win32_window_services.h"

namespace {

TEST(FileDialog, FilterBecomesANulSeparatedList) {
    using namespace std::string_literals;
    EXPECT_EQ(win32::dialogFilter("Wave (*.wav)|*.wav|Music|*.mid;*.rmi"),
              L"Wave (*.wav)\0*.wav\0Music\0*.mid;*.rmi\0\0"s);
    EXPECT_EQ(win32::dialogFilter(""), L"\0\0"s);
}

}  // namespace
