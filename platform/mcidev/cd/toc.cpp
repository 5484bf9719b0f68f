#include "platform/mcidev/cd/toc.h"

#include <algorithm>

namespace mcidev::cd {

const TrackInfo* Toc::find(int number) const {
    if (tracks.empty() || number < firstTrack() || number > lastTrack()) return nullptr;
    return &tracks[static_cast<std::size_t>(number - firstTrack())];
}

const TrackInfo* Toc::trackAt(std::int32_t lba) const {
    if (tracks.empty() || lba < tracks.front().startLba || lba >= leadoutLba) return nullptr;
    // The last track whose start is at or before lba.
    auto it = std::upper_bound(tracks.begin(), tracks.end(), lba,
                               [](std::int32_t a, const TrackInfo& t) { return a < t.startLba; });
    return &*(it - 1);
}

bool Toc::consistent() const {
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        const TrackInfo& t = tracks[i];
        if (t.number < 1 || t.number > 99 || t.lengthSectors <= 0 || t.startLba < 0) return false;
        const std::int64_t end = std::int64_t{t.startLba} + t.lengthSectors;
        if (i + 1 < tracks.size()) {
            if (tracks[i + 1].number != t.number + 1 || tracks[i + 1].startLba != end) return false;
        } else if (leadoutLba != end) {
            return false;
        }
    }
    return true;
}

}  // namespace mcidev::cd
