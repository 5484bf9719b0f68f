// A disc image: a cue sheet and the binary files it names, played as if it were a CD
// in a drive. Used by tests and by anyone who hands the CD device an image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/mcidev/cd/cue_sheet.h"
#include "platform/mcidev/cd/disc.h"

namespace mcidev::cd {

// One binary file of an image, read at random offsets.
class ImageFile {
public:
    virtual ~ImageFile() = default;
    virtual std::uint64_t size() const = 0;
    // Reads exactly `bytes` bytes at `offset`; false when it cannot.
    virtual bool readAt(std::uint64_t offset, std::uint8_t* out, std::size_t bytes) = 0;
};

// Opens the file a FILE command names, or returns null with `error` set.
using ImageFileOpener = std::function<std::unique_ptr<ImageFile>(const std::string& nameInSheet, std::string& error)>;

class ImageDisc final : public Disc {
public:
    // Opens a cue sheet and its files. A FILE name is taken relative to the sheet's
    // folder unless it is absolute; when it is not found there, its last component is
    // looked for in the sheet's folder (images are often moved away from the paths
    // their sheet was written with). Returns null with `error` set on failure, e.g.
    // "The disc image 'a.cue' is damaged: line 4: track 02 has no INDEX 01."
    static std::unique_ptr<ImageDisc> open(const std::filesystem::path& cueSheet, std::string& error);

    // The same from a sheet's text and a way to open its files. `label` names the
    // image in error texts and is what name() returns.
    static std::unique_ptr<ImageDisc> open(std::string_view sheetText, const ImageFileOpener& opener,
                                           const std::string& label, std::string& error);

    DiscState state() const override;
    std::string name() const override { return label_; }
    Toc toc() const override;
    bool refresh() override { return false; }
    bool readAudio(std::int32_t lba, int sectors, std::uint8_t* buffer) override;
    bool canEject() const override { return true; }
    bool eject() override;

    // Closes the tray with the same image in it again (the state becomes Ready).
    void insert();

private:
    ImageDisc(std::string label, CueSheet sheet, ImageLayout layout, std::vector<std::unique_ptr<ImageFile>> files);
    bool readRun(const ImageExtent& e, std::int32_t lba, int sectors, std::uint8_t* out);

    const std::string label_;
    const CueSheet sheet_;
    const ImageLayout layout_;
    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<ImageFile>> files_;
    bool inserted_ = true;
};

}  // namespace mcidev::cd
