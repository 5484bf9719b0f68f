// Fuzzes the CUE/BIN open path: the cue sheet parser, the layout of the sheet over its
// files, and reading the disc that results, through ImageDisc and CdAudioSource.
//
// The input is a cue sheet. Its binary files are not real: each is a generated file
// whose size comes from a line "REM FUZZSIZE <bytes>" (one per FILE, in order; without
// one a file holds 300 sectors), so that any size up to the largest costs nothing. A
// file whose name begins with "missing" cannot be opened.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/mcidev/cd/cd_audio_source.h"
#include "platform/mcidev/cd/cd_time.h"
#include "platform/mcidev/cd/image_disc.h"

namespace cd = mcidev::cd;

namespace {

class GeneratedFile final : public cd::ImageFile {
public:
    explicit GeneratedFile(std::uint64_t size) : size_(size) {}
    std::uint64_t size() const override { return size_; }
    bool readAt(std::uint64_t offset, std::uint8_t* out, std::size_t bytes) override {
        if (offset > size_ || bytes > size_ - offset) return false;
        for (std::size_t i = 0; i < bytes; ++i) out[i] = static_cast<std::uint8_t>((offset + i) * 31 + 7);
        return true;
    }

private:
    std::uint64_t size_;
};

std::vector<std::uint64_t> declaredSizes(std::string_view text) {
    std::vector<std::uint64_t> sizes;
    constexpr std::string_view kTag = "REM FUZZSIZE ";
    for (std::size_t at = text.find(kTag); at != std::string_view::npos; at = text.find(kTag, at + 1)) {
        std::uint64_t v = 0;
        for (std::size_t i = at + kTag.size(); i < text.size() && i < at + kTag.size() + 19; ++i) {
            if (text[i] < '0' || text[i] > '9') break;
            v = v * 10 + static_cast<std::uint64_t>(text[i] - '0');
        }
        sizes.push_back(v);
    }
    return sizes;
}

void check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<std::uint64_t> sizes = declaredSizes(text);
    std::size_t opened = 0;
    cd::ImageFileOpener opener = [&](const std::string& name, std::string&) -> std::unique_ptr<cd::ImageFile> {
        const std::uint64_t bytes = opened < sizes.size() ? sizes[opened] : 300u * cd::kBytesPerSector;
        ++opened;
        return name.starts_with("missing") ? nullptr : std::make_unique<GeneratedFile>(bytes);
    };
    std::string error;
    std::shared_ptr<cd::ImageDisc> disc = cd::ImageDisc::open(text, opener, "fuzz.cue", error);
    if (!disc) {
        // A text fit for a message box: short, without control characters.
        check(!error.empty() && error.size() < 1024);
        for (char c : error) check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
        return 0;
    }
    const cd::Toc toc = disc->toc();
    check(!toc.empty() && toc.consistent() && toc.leadoutLba <= cd::kMaxDiscSectors);
    // Both ends of every track read, and positions survive the round trip through track times.
    std::vector<std::uint8_t> sector(cd::kBytesPerSector);
    for (const cd::TrackInfo& t : toc.tracks) {
        const std::int32_t last = t.startLba + t.lengthSectors - 1;
        check(disc->readAudio(t.startLba, 1, sector.data()) && disc->readAudio(last, 1, sector.data()));
        check(cd::tmsfToLba(toc, cd::lbaToTmsf(toc, t.startLba)) == t.startLba);
        check(cd::tmsfToLba(toc, cd::lbaToTmsf(toc, last)) == last);
    }
    check(!disc->readAudio(toc.leadoutLba, 1, sector.data()) && disc->readAudio(0, 1, sector.data()));
    // Play across the last track boundary (or the whole of a one-track disc's start).
    const std::int32_t from = std::max(0, toc.tracks.back().startLba - 2);
    cd::CdAudioSource source(disc, from, std::min(toc.leadoutLba, from + 4));
    std::vector<std::int16_t> pcm(4 * cd::kSampleFramesPerSector * 2);
    check(source.read(pcm.data(), 4 * cd::kSampleFramesPerSector) == source.lengthFrames() && !source.failed());
    return 0;
}
