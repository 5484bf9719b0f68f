#include "platform/mcidev/cd/cd_time.h"

namespace mcidev::cd {

mci::DWORD lbaToTmsf(const Toc& toc, std::int32_t lba) {
    if (toc.empty()) return 0;
    if (const TrackInfo* t = toc.trackAt(lba))
        return packTmsf(t->number, sectorsToMsf(std::int64_t{lba} - t->startLba));
    if (lba < toc.tracks.front().startLba) return packTmsf(toc.firstTrack(), Msf{});
    const TrackInfo& last = toc.tracks.back();
    return packTmsf(last.number, sectorsToMsf(last.lengthSectors));
}

std::optional<std::int32_t> tmsfToLba(const Toc& toc, mci::DWORD tmsf) {
    const TrackInfo* t = toc.find(tmsfTrack(tmsf));
    const Msf offset = tmsfOffset(tmsf);
    if (t == nullptr || !offset.valid()) return std::nullopt;
    const std::int64_t sectors = msfToSectors(offset);
    if (sectors > t->lengthSectors) return std::nullopt;
    return static_cast<std::int32_t>(t->startLba + sectors);
}

}  // namespace mcidev::cd
