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

// What the file holds for a track at a sample frame counted from its INDEX 01
// (negative inside its INDEX 00 part), data tracks included.
std::int16_t fileSample(const TrackPlan& track, int number, std::int64_t frame, int channel) {
    if (track.kind == SampleKind::Ramp) {
        const auto base = static_cast<std::uint16_t>(frame * 7 + number * 1000);
        return static_cast<std::int16_t>(channel == 0 ? base : static_cast<std::uint16_t>(~base + number));
    }
    const double phase = 2.0 * std::numbers::pi * track.toneHz * static_cast<double>(frame) / cd::kSampleRate;
    return static_cast<std::int16_t>(std::lround(16383.0 * (channel == 0 ? std::sin(phase) : std::cos(phase))));
}

void expectWritten(const std::ios& stream, const std::filesystem::path& path) {
    if (!stream) throw std::runtime_error(path.string() + ": cannot write");
}

}  // namespace

std::int16_t discSample(const WrittenImage& image, std::int32_t lba, int frameInSector, int channel) {
    const auto& tracks = image.plan.tracks;
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        const std::int32_t index1 = image.dataStart[i] + tracks[i].indexZeroSectors;
        if (lba >= image.dataStart[i] && lba < index1 + tracks[i].sectors && tracks[i].audio)
            return fileSample(tracks[i], static_cast<int>(i) + 1,
                              std::int64_t{lba - index1} * cd::kSampleFramesPerSector + frameInSector, channel);
    }
    return 0;
}

WrittenImage writeImage(const std::filesystem::path& folder, const DiscPlan& plan) {
    std::filesystem::create_directories(folder);
    WrittenImage image{folder / (plan.baseName + ".cue"), {}, plan, {}, {}};
    const auto two = [](int n) {
        char text[16];
        std::snprintf(text, sizeof text, "%02d", n);
        return std::string(text);
    };
    const auto time = [&](std::int64_t sectors) {
        const cd::Msf t = cd::sectorsToMsf(sectors);
        return two(t.minute) + ":" + two(t.second) + ":" + two(t.frame);
    };
    std::string sheet = "REM written by the test image writer\nTITLE \"Test Disc\"\n";
    std::ofstream bin;
    std::int64_t fileOffset = 0;  // sectors into the current file
    std::int32_t lba = 0;
    const auto startFile = [&](const std::string& name) {
        bin.close();
        image.bins.push_back(folder / name);
        bin.open(image.bins.back(), std::ios::binary | std::ios::trunc);
        sheet += "FILE \"" + name + (plan.bigEndian ? "\" MOTOROLA\n" : "\" BINARY\n");
        fileOffset = 0;
    };
    const auto writeSectors = [&](const TrackPlan& t, int number, std::int64_t firstFrame, int sectors) {
        std::vector<char> sector(cd::kBytesPerSector);
        for (int s = 0; s < sectors; ++s) {
            for (std::size_t at = 0; at < sector.size(); at += 2) {
                const std::int64_t frame = firstFrame + std::int64_t{s} * cd::kSampleFramesPerSector + at / 4;
                const auto v = static_cast<std::uint16_t>(fileSample(t, number, frame, at / 2 % 2));
                sector[at + plan.bigEndian] = static_cast<char>(v & 0xFF);
                sector[at + !plan.bigEndian] = static_cast<char>(v >> 8);
            }
            bin.write(sector.data(), static_cast<std::streamsize>(sector.size()));
        }
        fileOffset += sectors;
        lba += sectors;
    };
    if (!plan.filePerTrack) startFile(plan.baseName + ".bin");
    for (std::size_t i = 0; i < plan.tracks.size(); ++i) {
        const TrackPlan& t = plan.tracks[i];
        const int number = static_cast<int>(i) + 1;
        if (plan.filePerTrack) startFile(plan.baseName + " track " + two(number) + ".bin");
        sheet += "  TRACK " + two(number) + (t.audio ? " AUDIO\n" : " MODE1/2352\n");
        if (t.pregapSectors > 0) sheet += "    PREGAP " + time(t.pregapSectors) + "\n";
        lba += t.pregapSectors;
        image.dataStart.push_back(lba);
        if (t.indexZeroSectors > 0) {
            sheet += "    INDEX 00 " + time(fileOffset) + "\n";
            writeSectors(t, number, -std::int64_t{t.indexZeroSectors} * cd::kSampleFramesPerSector, t.indexZeroSectors);
        }
        sheet += "    INDEX 01 " + time(fileOffset) + "\n";
        image.toc.tracks.push_back(cd::TrackInfo{number, lba, t.sectors, t.audio});
        writeSectors(t, number, 0, t.sectors);
        expectWritten(bin, image.bins.back());
    }
    bin.close();
    image.toc.leadoutLba = lba;
    // A track ends where the next one's PREGAP and INDEX 00 part begin.
    for (std::size_t i = 0; i + 1 < image.toc.tracks.size(); ++i)
        image.toc.tracks[i].lengthSectors = image.toc.tracks[i + 1].startLba - image.toc.tracks[i].startLba;
    std::ofstream cue(image.cue, std::ios::binary | std::ios::trunc);
    cue << sheet;
    expectWritten(cue, image.cue);
    return image;
}

WrittenImage writeTwoTrackImage(const std::filesystem::path& folder, const std::string& baseName) {
    DiscPlan plan{{TrackPlan{.sectors = 150, .kind = SampleKind::Tone},
                   TrackPlan{.sectors = 225, .kind = SampleKind::Tone, .toneHz = 660.0}}};
    plan.baseName = baseName;
    return writeImage(folder, plan);
}

}  // namespace cdtest
