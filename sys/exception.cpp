#include "sys/exception.h"

#include <cctype>
#include <climits>

namespace sys {

int strToInt(const std::string& text) {
    auto fail = [&]() -> int { throw ConvertError("'" + text + "' is not a valid integer value"); };
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size()) return fail();
    long long value = 0;
    for (; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        int digit;
        if (std::isdigit(c)) {
            digit = c - '0';
        } else if (base == 16 && std::isxdigit(c)) {
            digit = std::tolower(c) - 'a' + 10;
        } else {
            return fail();
        }
        value = value * base + digit;
        if (value > static_cast<long long>(INT_MAX) + 1) return fail();
    }
    if (negative) value = -value;
    if (value > INT_MAX || value < INT_MIN) return fail();
    return static_cast<int>(value);
}

}  // namespace sys
