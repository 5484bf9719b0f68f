// Files compiled into the program (glyph bitmaps, icons), found by name.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace resources {

struct Entry {
    std::string_view name;
    std::span<const unsigned char> data;
};

const std::vector<Entry>& all();

// The bytes of the named resource; empty when there is none.
std::span<const unsigned char> find(std::string_view name);

}  // namespace resources
