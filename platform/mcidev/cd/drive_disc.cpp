#include "platform/mcidev/cd/drive_disc.h"

#include <cdio/cdio.h>
#include <cdio/logging.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/mcidev/cd/cd_time.h"

namespace mcidev::cd {

namespace {

// Sectors per read request: small enough for every drive and kernel.
constexpr int kSectorsPerRead = 24;
// Between the last audio track of the first session and the data track of the second
// (an "enhanced" CD) lie the first session's lead-out, the second's lead-in and the
// data track's pregap: sectors that are counted into the audio track but cannot be
// read.
constexpr std::int32_t kSessionGapSectors = 6750 + 4500 + 150;

// The library reports every failed request on stderr (and stops the program on its
// most severe level); the disc states and return values carry all we need.
void quietLog(cdio_log_level_t, const char*) {}

void silenceLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { cdio_log_set_handler(quietLog); });
}

}  // namespace

struct DriveDisc::Impl {
    mutable std::mutex mutex;
    const bool useDefault;
    std::string device;
    CdIo_t* cdio = nullptr;
    DiscState state = DiscState::NoDrive;
    Toc toc;
    // Sector ranges [first, end) that read as silence: data tracks, session gaps.
    std::vector<std::pair<std::int32_t, std::int32_t>> silent;
    bool ejectable = false;
    bool recheck = false;

    Impl(bool byDefault, std::string dev) : useDefault(byDefault), device(std::move(dev)) {}
    ~Impl() { close(); }

    void close() {
        if (cdio != nullptr) cdio_destroy(cdio);
        cdio = nullptr;
    }

    void forgetDisc(DiscState s) {
        state = s;
        toc = Toc{};
        silent.clear();
    }

    // (Re)opens the drive and reads its table of contents.
    void load() {
        close();
        if (useDefault) {
            char* found = cdio_get_default_device(nullptr);
            device = found != nullptr ? found : "";
            cdio_free(found);
        }
        if (device.empty()) {
            forgetDisc(DiscState::NoDrive);
            return;
        }
        cdio = cdio_open(device.c_str(), DRIVER_DEVICE);
        if (cdio == nullptr) {
            forgetDisc(DiscState::NoDrive);
            return;
        }
        cdio_drive_read_cap_t readCaps = 0;
        cdio_drive_write_cap_t writeCaps = 0;
        cdio_drive_misc_cap_t miscCaps = 0;
        cdio_get_drive_cap(cdio, &readCaps, &writeCaps, &miscCaps);
        const bool known = (miscCaps & (CDIO_DRIVE_CAP_ERROR | CDIO_DRIVE_CAP_UNKNOWN)) == 0;
        ejectable = !known || (miscCaps & CDIO_DRIVE_CAP_MISC_EJECT) != 0;
        readToc();
        // Take note of the change flag now, so that refresh() sees only later changes.
        (void)cdio_get_media_changed(cdio);
    }

    void readToc() {
        const track_t first = cdio_get_first_track_num(cdio);
        const track_t count = cdio_get_num_tracks(cdio);
        if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0) {
            forgetDisc(DiscState::NoDisc);
            return;
        }
        Toc t;
        for (int i = 0; i < count; ++i) {
            const int number = first + i;
            if (number > 99) {
                forgetDisc(DiscState::NoDisc);
                return;
            }
            const lsn_t start = cdio_get_track_lsn(cdio, static_cast<track_t>(number));
            const bool audio = cdio_get_track_format(cdio, static_cast<track_t>(number)) == TRACK_FORMAT_AUDIO;
            t.tracks.push_back(TrackInfo{number, start, 0, audio});
        }
        t.leadoutLba = cdio_get_track_lsn(cdio, CDIO_CDROM_LEADOUT_TRACK);
        for (std::size_t i = 0; i < t.tracks.size(); ++i) {
            const std::int32_t end = i + 1 < t.tracks.size() ? t.tracks[i + 1].startLba : t.leadoutLba;
            t.tracks[i].lengthSectors = end - t.tracks[i].startLba;
        }
        if (t.leadoutLba > kMaxDiscSectors || !t.consistent()) {
            forgetDisc(DiscState::NoDisc);
            return;
        }
        silent.clear();
        for (std::size_t i = 0; i < t.tracks.size(); ++i) {
            const TrackInfo& tr = t.tracks[i];
            if (!tr.audio) {
                silent.emplace_back(tr.startLba, tr.startLba + tr.lengthSectors);
            } else if (i + 1 < t.tracks.size() && !t.tracks[i + 1].audio && tr.lengthSectors > kSessionGapSectors) {
                silent.emplace_back(tr.startLba + tr.lengthSectors - kSessionGapSectors,
                                    tr.startLba + tr.lengthSectors);
            }
        }
        toc = std::move(t);
        state = DiscState::Ready;
    }

    // How many sectors from lba on (at most max) are of one kind, and which kind.
    std::pair<int, bool> runAt(std::int32_t lba, int max) const {
        for (const auto& [first, end] : silent) {
            if (lba >= first && lba < end) return {std::min(max, end - lba), true};
            if (lba < first) return {std::min(max, first - lba), false};
        }
        return {max, false};
    }
};

DriveDisc::DriveDisc() : impl_(std::make_unique<Impl>(true, std::string())) {
    silenceLibrary();
    impl_->load();
}

DriveDisc::DriveDisc(std::string device) : impl_(std::make_unique<Impl>(false, std::move(device))) {
    silenceLibrary();
    impl_->load();
}

DriveDisc::~DriveDisc() = default;

DiscState DriveDisc::state() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->state;
}

std::string DriveDisc::name() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->device;
}

Toc DriveDisc::toc() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->toc;
}

bool DriveDisc::refresh() {
    std::lock_guard lock(impl_->mutex);
    Impl& d = *impl_;
    const DiscState oldState = d.state;
    const Toc oldToc = d.toc;
    if (d.cdio == nullptr || d.state != DiscState::Ready || d.recheck) {
        d.load();
    } else if (cdio_get_media_changed(d.cdio) != 0) {
        // A change, or a drive that cannot tell: look again.
        d.load();
    }
    d.recheck = false;
    return d.state != oldState || d.toc != oldToc;
}

bool DriveDisc::readAudio(std::int32_t lba, int sectors, std::uint8_t* buffer) {
    std::lock_guard lock(impl_->mutex);
    Impl& d = *impl_;
    if (d.state != DiscState::Ready || d.cdio == nullptr || lba < 0 || sectors < 0 || sectors > d.toc.leadoutLba - lba)
        return false;
    while (sectors > 0) {
        const auto [n, quiet] = d.runAt(lba, std::min(sectors, kSectorsPerRead));
        const std::size_t bytes = static_cast<std::size_t>(n) * kBytesPerSector;
        if (quiet) {
            std::memset(buffer, 0, bytes);
        } else {
            bool ok = false;
            for (int attempt = 0; attempt < 2 && !ok; ++attempt)
                ok = cdio_read_audio_sectors(d.cdio, buffer, lba, static_cast<std::uint32_t>(n)) == DRIVER_OP_SUCCESS;
            if (!ok) {
                d.recheck = true;  // perhaps the disc is gone
                return false;
            }
        }
        buffer += bytes;
        lba += n;
        sectors -= n;
    }
    return true;
}

bool DriveDisc::canEject() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->state != DiscState::NoDrive && impl_->ejectable;
}

bool DriveDisc::eject() {
    std::lock_guard lock(impl_->mutex);
    Impl& d = *impl_;
    if (d.device.empty()) return false;
    driver_return_code_t rc;
    if (d.cdio != nullptr)
        rc = cdio_eject_media(&d.cdio);  // frees the handle when it succeeds
    else
        rc = cdio_eject_media_drive(d.device.c_str());
    if (rc != DRIVER_OP_SUCCESS) return false;
    d.close();
    d.forgetDisc(DiscState::NoDisc);
    return true;
}

}  // namespace mcidev::cd
