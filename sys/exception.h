// The framework's base error. Handlers never catch it; the message loop's dispatcher
// reports whatever escapes one event (see Application::dispatch).
#pragma once

#include <stdexcept>
#include <string>

namespace sys {

class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A text that does not convert to a number.
class ConvertError : public Error {
public:
    using Error::Error;
};

// Converts a text to an integer the way the program's edit boxes expect: optional
// blanks, a sign, decimal digits, or "$"/"0x" hexadecimal; anything else throws
// ConvertError "'<text>' is not a valid integer value".
int strToInt(const std::string& text);

}  // namespace sys
