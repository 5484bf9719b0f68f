#include "sys/window_services.h"

#include <cstdio>

namespace sys {

// A desktop without notifications still has the terminal or the session log.
void WindowServices::notify(const std::string& text) { std::fprintf(stderr, "tolvane: %s\n", text.c_str()); }

}  // namespace sys
