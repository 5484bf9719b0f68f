#include "tests/support/cd_image_writer.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <stdexcept>

#include "platform/mcidev/cd/cd_time.h"

namespace cdtest {

namespace cd = mcidev::cd;

namespace {

std::string timeText(std::int64_t sectors) {
    const cd::Msf t = cd::sectorsToMsf(sectors);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.minute, t.second, t.frame);
    return buf;
}

std::string twoDigits(int n) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", n);
    return buf;
}

void writeSectors(std::ofstream& out, const TrackPlan& track, int number, std::int64_t firstFrame, int sectors,
                  bool bigEndian) {
    std::vector<char> buf(static_cast<std::size_t>(cd::kBytesPerSector));
    for (int s = 0; s < sectors; ++s) {
        if (!track.audio) {
            for (std::size_t i = 0; i < buf.size(); ++i)
                buf[i] = static_cast<char>(0x5A ^ (i & 0xFF));
        } else {
            for (int f = 0; f < cd::kSampleFramesPerSector; ++f) {
                const std::int64_t frame = firstFrame + std::int64_t{s} * cd::kSampleFramesPerSector + f;
                for (int ch = 0; ch < 2; ++ch) {
                    const auto v = static_cast<std::uint16_t>(trackSample(track, number, frame, ch));
                    const std::size_t at = static_cast<std::size_t>(f * 4 + ch * 2);
                    buf[at + (bigEndian ? 1 : 0)] = static_cast<char>(v & 0xFF);
                    buf[at + (bigEndian ? 0 : 1)] = static_cast<char>(v >> 8);
                }
            }
        }
        out.write(buf.data(), static_cast<std::streamsize>(buf.size()));
    }
}

}  // namespace

std::int16_t trackSample(const TrackPlan& track, int trackNumber, std::int64_t frame, int channel) {
    if (!track.audio)
        return 0;
    if (track.kind == SampleKind::Ramp) {
        const auto base = static_cast<std::uint64_t>(frame * 7 + trackNumber * 1000);
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(channel == 0 ? base : ~base + trackNumber));
    }
    const double phase = 2.0 * std::numbers::pi * track.toneHz * static_cast<double>(frame) / cd::kSampleRate;
    return static_cast<std::int16_t>(std::lround(16383.0 * (channel == 0 ? std::sin(phase) : std::cos(phase))));
}

std::int16_t discSample(const WrittenImage& image, std::int32_t lba, int frameInSector, int channel) {
    const auto& tracks = image.plan.tracks;
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        const std::int32_t index1 = image.dataStart[i] + tracks[i].indexZeroSectors;
        const std::int32_t end = index1 + tracks[i].sectors;
        if (lba >= image.dataStart[i] && lba < end) {
            const std::int64_t frame = std::int64_t{lba - index1} * cd::kSampleFramesPerSector + frameInSector;
            return trackSample(tracks[i], image.toc.tracks[i].number, frame, channel);
        }
    }
    return 0;  // PREGAP silence
}

WrittenImage writeImage(const std::filesystem::path& folder, const DiscPlan& plan) {
    std::filesystem::create_directories(folder);
    WrittenImage image;
    image.plan = plan;
    image.cue = folder / (plan.baseName + ".cue");
    std::string sheet = "REM written by the test image writer\nTITLE \"Test Disc\"\n";
    const char* fileType = plan.bigEndian ? "MOTOROLA" : "BINARY";

    std::ofstream bin;
    std::int64_t fileOffset = 0;  // sectors into the current file
    std::int32_t lba = 0;
    auto openBin = [&](const std::string& name) {
        bin.close();
        image.bins.push_back(folder / name);
        bin.open(image.bins.back(), std::ios::binary | std::ios::trunc);
        if (!bin)
            throw std::runtime_error("cannot write " + image.bins.back().string());
        sheet += "FILE \"" + name + "\" " + fileType + "\n";
        fileOffset = 0;
    };
    if (!plan.filePerTrack)
        openBin(plan.baseName + ".bin");
    for (std::size_t i = 0; i < plan.tracks.size(); ++i) {
        const TrackPlan& t = plan.tracks[i];
        const int number = static_cast<int>(i) + 1;
        if (plan.filePerTrack)
            openBin(plan.baseName + " track " + twoDigits(number) + ".bin");
        sheet += "  TRACK " + twoDigits(number) + (t.audio ? " AUDIO\n" : " MODE1/2352\n");
        sheet += "    TITLE \"Track " + std::to_string(number) + "\"\n";
        if (t.pregapSectors > 0)
            sheet += "    PREGAP " + timeText(t.pregapSectors) + "\n";
        lba += t.pregapSectors;
        image.dataStart.push_back(lba);
        if (t.indexZeroSectors > 0) {
            sheet += "    INDEX 00 " + timeText(fileOffset) + "\n";
            writeSectors(bin, t, number, -std::int64_t{t.indexZeroSectors} * cd::kSampleFramesPerSector,
                         t.indexZeroSectors, plan.bigEndian);
            fileOffset += t.indexZeroSectors;
            lba += t.indexZeroSectors;
        }
        sheet += "    INDEX 01 " + timeText(fileOffset) + "\n";
        image.toc.tracks.push_back(cd::TrackInfo{number, lba, 0, t.audio});
        writeSectors(bin, t, number, 0, t.sectors, plan.bigEndian);
        fileOffset += t.sectors;
        lba += t.sectors;
        if (!bin)
            throw std::runtime_error("cannot write " + image.bins.back().string());
    }
    bin.close();
    image.toc.leadoutLba = lba;
    for (std::size_t i = 0; i < image.toc.tracks.size(); ++i) {
        const std::int32_t end = i + 1 < image.toc.tracks.size() ? image.toc.tracks[i + 1].startLba : lba;
        image.toc.tracks[i].lengthSectors = end - image.toc.tracks[i].startLba;
    }
    std::ofstream cue(image.cue, std::ios::binary | std::ios::trunc);
    cue << sheet;
    if (!cue)
        throw std::runtime_error("cannot write " + image.cue.string());
    return image;
}

WrittenImage writeTwoTrackImage(const std::filesystem::path& folder, const std::string& baseName) {
    DiscPlan plan;
    plan.baseName = baseName;
    plan.tracks.push_back(TrackPlan{2 * cd::kSectorsPerSecond, true, SampleKind::Tone, 440.0, 0, 0});
    plan.tracks.push_back(TrackPlan{3 * cd::kSectorsPerSecond, true, SampleKind::Tone, 660.0, 0, 0});
    return writeImage(folder, plan);
}

}  // namespace cdtest
