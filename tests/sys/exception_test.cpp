// Number conversion, and the error that quotes text that is no number.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

#include "sys/exception.h"

namespace {

TEST(StrToIntTest, ConvertsNumbersAndNamesAnyOtherText) {
    using Number = std::pair<std::string, int>;
    for (auto [text, value] :
         std::initializer_list<Number>{{"07", 7}, {"-3", -3}, {"$1A", 26}, {"0x1a", 26}, {"2147483647", 2147483647}})
        EXPECT_EQ(sys::strToInt(text), value) << text;
    for (std::string text : {"", "1 2", "-", "99999999999"}) {
        try {
            sys::strToInt(text);
            ADD_FAILURE() << "'" << text << "' converted";
        } catch (const sys::ConvertError& e) {
            EXPECT_EQ(std::string(e.what()), "'" + text + "' is not a valid integer value");
        }
    }
}

}  // namespace
