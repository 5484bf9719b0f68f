// The open-file dialog's filter, apart from the dialog so that it can be checked alone.
#include <string>
#include <vector>

#include "platform/text/win32_text.h"
#include "platform/win32/win32_window_services.h"

namespace win32 {

std::wstring dialogFilter(const std::string& filter) {
    std::wstring result;
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    while (!filter.empty()) {
        const auto end = filter.find('|', start);
        parts.push_back(filter.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    // A description without patterns (an odd count) is left out.
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i + 1].empty()) continue;
        result += text::widen(parts[i]) + L'\0' + text::widen(parts[i + 1]) + L'\0';
    }
    if (result.empty()) return std::wstring(2, L'\0');
    return result + L'\0';
}

}  // namespace win32
