#include "resources/resources.h"

namespace resources {

std::span<const unsigned char> find(std::string_view name) {
    for (const Entry& entry : all()) {
        if (entry.name == name) return entry.data;
    }
    return {};
}

}  // namespace resources
