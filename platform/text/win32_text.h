// UTF-8, the model's text, to and from the UTF-16 of the system's wide calls.
#pragma once

#include <string>
#include <string_view>

namespace text {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

}  // namespace text
