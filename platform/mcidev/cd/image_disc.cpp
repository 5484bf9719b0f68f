#include "platform/mcidev/cd/image_disc.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <system_error>

#include "platform/mcidev/cd/cd_time.h"

namespace mcidev::cd {

namespace {

class DiskImageFile final : public ImageFile {
public:
    DiskImageFile(std::ifstream stream, std::uint64_t size) : stream_(std::move(stream)), size_(size) {}

    std::uint64_t size() const override { return size_; }

    bool readAt(std::uint64_t offset, std::uint8_t* out, std::size_t bytes) override {
        if (offset > size_ || bytes > size_ - offset) return false;
        stream_.clear();
        stream_.seekg(static_cast<std::streamoff>(offset));
        stream_.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(bytes));
        return stream_.gcount() == static_cast<std::streamsize>(bytes);
    }

private:
    std::ifstream stream_;
    std::uint64_t size_;
};

std::unique_ptr<ImageFile> openDiskFile(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return nullptr;
    const std::uint64_t size = std::filesystem::file_size(path, ec);
    if (ec) return nullptr;
    std::ifstream stream(path, std::ios::binary);
    if (!stream) return nullptr;
    return std::make_unique<DiskImageFile>(std::move(stream), size);
}

// The places a FILE name may refer to, most literal first.
std::vector<std::filesystem::path> candidatePaths(const std::filesystem::path& folder, const std::string& name) {
    std::vector<std::filesystem::path> out;
    const std::filesystem::path literal(name);
    out.push_back(literal.is_absolute() ? literal : folder / literal);
    std::string slashed = name;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    if (slashed != name)
        out.push_back(std::filesystem::path(slashed).is_absolute() ? std::filesystem::path(slashed) : folder / slashed);
    const std::size_t cut = slashed.find_last_of('/');
    if (cut != std::string::npos && cut + 1 < slashed.size()) out.push_back(folder / slashed.substr(cut + 1));
    return out;
}

std::string quoted(const std::string& s) {
    std::string out(1, '\'');
    out += quotable(s, 200);
    return out += '\'';
}

}  // namespace

std::unique_ptr<ImageDisc> ImageDisc::open(const std::filesystem::path& cueSheet, std::string& error) {
    const std::string shown = quoted(cueSheet.filename().string());
    std::ifstream in(cueSheet, std::ios::binary);
    std::error_code ec;
    if (!in || std::filesystem::is_directory(cueSheet, ec)) {
        error = "The disc image " + shown + " cannot be read.";
        return nullptr;
    }
    // One byte more than a sheet may hold, so that the parser sees an oversized one.
    std::string text(kMaxCueSheetBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (in.bad()) {
        error = "The disc image " + shown + " cannot be read.";
        return nullptr;
    }
    const std::filesystem::path folder = cueSheet.parent_path();
    ImageFileOpener opener = [&folder](const std::string& name, std::string& why) -> std::unique_ptr<ImageFile> {
        for (const std::filesystem::path& p : candidatePaths(folder, name))
            if (auto f = openDiskFile(p)) return f;
        why = "cannot be opened";
        return nullptr;
    };
    auto disc = open(text, opener, cueSheet.string(), error);
    return disc;
}

std::unique_ptr<ImageDisc> ImageDisc::open(std::string_view sheetText, const ImageFileOpener& opener,
                                           const std::string& label, std::string& error) {
    const std::string shown = quoted(std::filesystem::path(label).filename().string());
    CueParseResult parsed = parseCueSheet(sheetText);
    if (!parsed.ok()) {
        error = "The disc image " + shown + " is damaged: " + parsed.error + ".";
        return nullptr;
    }
    std::vector<std::unique_ptr<ImageFile>> files;
    std::vector<std::uint64_t> sizes;
    for (const CueFile& f : parsed.sheet.files) {
        std::string why;
        std::unique_ptr<ImageFile> file = opener ? opener(f.name, why) : nullptr;
        if (!file) {
            error = "The disc image " + shown + " names the file " + quoted(f.name) + ", which " +
                    (why.empty() ? "cannot be opened" : why) + ".";
            return nullptr;
        }
        sizes.push_back(file->size());
        files.push_back(std::move(file));
    }
    ImageLayout layout = layoutImage(parsed.sheet, sizes);
    if (!layout.ok()) {
        error = "The disc image " + shown + " is damaged: " + layout.error + ".";
        return nullptr;
    }
    error.clear();
    return std::unique_ptr<ImageDisc>(
        new ImageDisc(label, std::move(parsed.sheet), std::move(layout), std::move(files)));
}

ImageDisc::ImageDisc(std::string label, CueSheet sheet, ImageLayout layout,
                     std::vector<std::unique_ptr<ImageFile>> files)
    : label_(std::move(label)), sheet_(std::move(sheet)), layout_(std::move(layout)), files_(std::move(files)) {}

DiscState ImageDisc::state() const {
    std::lock_guard lock(mutex_);
    return inserted_ ? DiscState::Ready : DiscState::NoDisc;
}

Toc ImageDisc::toc() const {
    std::lock_guard lock(mutex_);
    return inserted_ ? layout_.toc : Toc{};
}

bool ImageDisc::eject() {
    std::lock_guard lock(mutex_);
    inserted_ = false;
    return true;
}

void ImageDisc::insert() {
    std::lock_guard lock(mutex_);
    inserted_ = true;
}

bool ImageDisc::readAudio(std::int32_t lba, int sectors, std::uint8_t* buffer) {
    std::lock_guard lock(mutex_);
    if (!inserted_ || lba < 0 || sectors < 0 || sectors > layout_.toc.leadoutLba - lba) return false;
    const auto& extents = layout_.extents;
    auto it = std::upper_bound(extents.begin(), extents.end(), lba,
                               [](std::int32_t a, const ImageExtent& e) { return a < e.startLba; });
    while (sectors > 0) {
        if (it == extents.begin()) return false;  // cannot happen: the extents start at 0 and reach the lead-out
        const ImageExtent& e = *(it - 1);
        const int n = std::min(sectors, e.startLba + e.sectors - lba);
        if (n <= 0) return false;
        if (!readRun(e, lba, n, buffer)) return false;
        buffer += static_cast<std::size_t>(n) * kBytesPerSector;
        lba += n;
        sectors -= n;
        ++it;
    }
    return true;
}

bool ImageDisc::readRun(const ImageExtent& e, std::int32_t lba, int sectors, std::uint8_t* out) {
    const std::size_t bytes = static_cast<std::size_t>(sectors) * kBytesPerSector;
    if (e.file < 0 || !e.audio) {
        std::memset(out, 0, bytes);
        return true;
    }
    ImageFile& file = *files_[static_cast<std::size_t>(e.file)];
    const std::uint64_t stride = static_cast<std::uint64_t>(e.stride);
    const std::uint64_t offset = e.byteOffset + static_cast<std::uint64_t>(lba - e.startLba) * stride;
    if (stride == kBytesPerSector) {
        if (!file.readAt(offset, out, bytes)) return false;
    } else {
        // Sectors with subcode after the audio: take the audio part of each.
        for (int i = 0; i < sectors; ++i)
            if (!file.readAt(offset + static_cast<std::uint64_t>(i) * stride,
                             out + static_cast<std::size_t>(i) * kBytesPerSector, kBytesPerSector))
                return false;
    }
    if (sheet_.files[static_cast<std::size_t>(e.file)].type == CueFileType::Motorola)
        for (std::size_t i = 0; i + 1 < bytes; i += 2) std::swap(out[i], out[i + 1]);
    return true;
}

}  // namespace mcidev::cd
