// The CD audio device: positions are sample frames from sector 0 of the disc, so that
// every time format (MSF, TMSF, milliseconds) converts through the sector address.
#include <algorithm>

#include "platform/mcidev/cd/cd_audio_source.h"
#include "platform/mcidev/cd/cd_time.h"
#include "platform/mcidev/cd/disc.h"
#include "platform/mcidev/cd/image_disc.h"
#include "platform/mcidev/devices.h"
#include "platform/mcidev/read_ahead.h"

namespace mcidev {

using namespace mci;

namespace {

constexpr std::uint64_t kFramesPerSector = cd::kSampleFramesPerSector;
// Two seconds of sound read ahead of the output.
constexpr std::size_t kReadAheadFrames = 2 * cd::kSampleRate;

std::int32_t frameToLba(std::uint64_t frame) { return static_cast<std::int32_t>(frame / kFramesPerSector); }
std::uint64_t lbaToFrame(std::int32_t lba) { return cd::sectorsToSampleFrames(lba); }

class CdDevice final : public MediaDevice {
public:
    CdDevice(AudioOutput& output, std::function<void()> finished, std::shared_ptr<cd::Disc> disc)
        : MediaDevice(output, std::move(finished)), disc_(std::move(disc)) {
        loadMedia();
    }
    ~CdDevice() override { haltPlayback(); }

    DWORD deviceType() const override { return MCI_DEVTYPE_CD_AUDIO; }
    DWORD defaultTimeFormat() const override { return MCI_FORMAT_MSF; }

protected:
    MCIERROR checkReady() override { return readAhead_ ? 0 : MCIERR_DEVICE_NOT_READY; }
    MCIERROR readFailure() const override { return MCIERR_HARDWARE; }
    DWORD notReadyMode() const override { return doorOpen_ ? MCI_MODE_OPEN : MCI_MODE_NOT_READY; }

    void refreshMedia(Outbox& out) override {
        if (!disc_->refresh()) return;
        // Another disc, or none: whatever played is over.
        stopTransport(out);
        loadMedia();
    }

    AudioSource& source() override { return *readAhead_; }

    // The disc is read on a thread of its own while a play runs (see ReadAheadSource).
    bool seekSource(AudioSource&, std::uint64_t frame) override {
        if (!readAhead_->seek(frame)) return false;
        readAhead_->start();
        return true;
    }
    void sourceIdle() override {
        if (readAhead_) readAhead_->stop();
    }
    std::uint64_t mediaStart() const override { return toc_.empty() ? 0 : lbaToFrame(toc_.tracks.front().startLba); }
    std::uint64_t mediaEnd() const override { return lbaToFrame(toc_.leadoutLba); }

    bool supportsTimeFormat(DWORD format) const override {
        return format == MCI_FORMAT_MSF || format == MCI_FORMAT_TMSF || format == MCI_FORMAT_MILLISECONDS;
    }

    MCIERROR toFrame(DWORD format, DWORD value, std::uint64_t& frame) const override {
        std::int64_t lba = 0;
        switch (format) {
        case MCI_FORMAT_MSF: {
            const cd::Msf msf = cd::unpackMsf(value);
            if (!msf.valid()) return MCIERR_OUTOFRANGE;
            lba = cd::msfToLba(msf);
            break;
        }
        case MCI_FORMAT_TMSF: {
            const auto found = cd::tmsfToLba(toc_, value);
            if (!found) return MCIERR_OUTOFRANGE;
            lba = *found;
            break;
        }
        case MCI_FORMAT_MILLISECONDS: lba = cd::msToSectors(value) - cd::kLeadInSectors; break;
        default: return MCIERR_BAD_TIME_FORMAT;
        }
        if (toc_.empty() || lba < toc_.tracks.front().startLba || lba > toc_.leadoutLba) return MCIERR_OUTOFRANGE;
        frame = lbaToFrame(static_cast<std::int32_t>(lba));
        return 0;
    }

    DWORD fromFrame(DWORD format, std::uint64_t frame) const override {
        const std::int32_t lba = frameToLba(frame);
        switch (format) {
        case MCI_FORMAT_TMSF: return cd::lbaToTmsf(toc_, lba);
        case MCI_FORMAT_MILLISECONDS: return cd::sectorsToMs(std::int64_t{lba} + cd::kLeadInSectors);
        default: return cd::packMsf(cd::lbaToMsf(lba));
        }
    }

    // Lengths are durations: minutes, seconds and frames (also when the time format is
    // TMSF, where a length has no track), or milliseconds.
    DWORD duration(DWORD format, std::uint64_t frames) const override {
        const auto sectors = static_cast<std::int64_t>(frames / kFramesPerSector);
        if (format == MCI_FORMAT_MILLISECONDS) return cd::sectorsToMs(sectors);
        return cd::packMsf(cd::sectorsToMsf(sectors));
    }

    int trackCount() const override { return toc_.trackCount(); }

    bool trackSpan(int track, std::uint64_t& start, std::uint64_t& end) const override {
        const cd::TrackInfo* info = toc_.find(track);
        if (info == nullptr) return false;
        start = lbaToFrame(info->startLba);
        end = lbaToFrame(info->startLba + info->lengthSectors);
        return true;
    }

    int trackAt(std::uint64_t frame) const override {
        if (toc_.empty()) return 0;
        const std::int32_t lba = frameToLba(frame);
        if (const cd::TrackInfo* info = toc_.trackAt(lba)) return info->number;
        return lba < toc_.tracks.front().startLba ? toc_.firstTrack() : toc_.lastTrack();
    }

    bool usesFiles() const override { return false; }
    bool canEject() const override { return disc_->canEject(); }

    MCIERROR openDoor() override {
        if (!disc_->eject()) return MCIERR_HARDWARE;
        doorOpen_ = true;
        loadMedia();
        return 0;
    }

    MCIERROR closeDoor() override {
        // Only an image can be put back; a drive's tray is closed by hand.
        auto* image = dynamic_cast<cd::ImageDisc*>(disc_.get());
        if (image == nullptr) return MCIERR_UNSUPPORTED_FUNCTION;
        image->insert();
        doorOpen_ = false;
        loadMedia();
        return 0;
    }

private:
    void loadMedia() {
        readAhead_.reset();
        source_.reset();
        toc_ = {};
        if (disc_->state() == cd::DiscState::Ready) toc_ = disc_->toc();
        if (toc_.empty()) {
            setPosition(0);
            return;
        }
        doorOpen_ = false;
        source_ = std::make_unique<cd::CdAudioSource>(disc_, 0, toc_.leadoutLba);
        readAhead_ = std::make_unique<ReadAheadSource>(*source_, kReadAheadFrames);
        setPosition(mediaStart());
    }

    std::shared_ptr<cd::Disc> disc_;
    cd::Toc toc_;
    std::unique_ptr<cd::CdAudioSource> source_;
    std::unique_ptr<ReadAheadSource> readAhead_;  // over source_
    bool doorOpen_ = false;
};

}  // namespace

MCIERROR openCdDevice(std::shared_ptr<cd::Disc> disc, AudioOutput& output, std::function<void()> finished,
                      std::unique_ptr<MediaDevice>& device) {
    if (!disc || disc->state() == cd::DiscState::NoDrive) return MCIERR_DEVICE_NOT_INSTALLED;
    device = std::make_unique<CdDevice>(output, std::move(finished), std::move(disc));
    return 0;
}

}  // namespace mcidev
