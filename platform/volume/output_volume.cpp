#include "platform/volume/output_volume.h"

namespace volume {

std::string describeRaise(bool muted, int percent) {
    // Rounding must not make a volume just below the floor read as the floor itself.
    if (percent >= kAudibleFloorPercent) percent = kAudibleFloorPercent - 1;
    std::string text = muted ? "muted" : "";
    if (percent >= 0) text += (muted ? " and " : "") + std::string("turned down to ") + std::to_string(percent) + " %";
    return text;
}

}  // namespace volume
