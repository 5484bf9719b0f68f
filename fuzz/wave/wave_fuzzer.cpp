// Fuzz entry point for opening a wave file: the decoder reads the bytes through our own
// I/O callbacks and caps, then the file is read, sought and read again the way the
// player does. Anything but a clean refusal or a consistent file is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/mcidev/wave_file.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

// Reads up to `limit` frames in player-sized pieces.
void readSome(mcidev::WaveFile& file, std::uint64_t limit) {
    std::vector<std::int16_t> buffer(512 * static_cast<std::size_t>(file.channels()));
    for (std::uint64_t total = 0; total < limit;) {
        const std::uint64_t before = file.positionFrames();
        const std::size_t got = file.read(buffer.data(), 512);
        check(got <= 512 && file.positionFrames() == before + got && file.positionFrames() <= file.lengthFrames());
        total += got;
        if (got < 512) break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::unique_ptr<mcidev::WaveFile> file;
    if (mcidev::WaveFile::openMemory(data, size, file) != 0) {
        check(file == nullptr);
        return 0;
    }
    check(file != nullptr && file->channels() >= 1 && file->channels() <= 8);
    check(file->sampleRate() >= 1000 && file->sampleRate() <= 768000);
    const std::uint64_t length = file->lengthFrames();
    check(file->bytesToFrames(file->framesToBytes(length)) <= length + 1);
    readSome(*file, 1 << 17);  // at most a few seconds of sound, wherever the file says it ends
    if (file->seek(length / 2)) {
        check(file->positionFrames() == length / 2);
        readSome(*file, 2048);
    }
    check(file->seek(length) ? file->positionFrames() == length : true);
    check(!file->seek(length + 1));
    if (file->seek(0)) readSome(*file, 2048);
    return 0;
}
