#include "platform/mcidev/wave_file.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstring>
#include <limits>

namespace mcidev {

// The bytes the decoder sees: a file descriptor read with pread, or a block of memory.
// Its length is fixed at open, so a file that grows while it plays cannot push the
// decoder past the caps.
struct WaveFile::Input {
    int fd = -1;
    const unsigned char* memory = nullptr;
    sf_count_t size = 0;
    sf_count_t position = 0;

    ~Input() {
        if (fd >= 0) ::close(fd);
    }

    static sf_count_t length(void* self) { return static_cast<Input*>(self)->size; }

    static sf_count_t seek(sf_count_t offset, int whence, void* self) {
        auto* in = static_cast<Input*>(self);
        sf_count_t base = 0;
        switch (whence) {
        case SEEK_SET: base = 0; break;
        case SEEK_CUR: base = in->position; break;
        case SEEK_END: base = in->size; break;
        default: return -1;
        }
        if ((offset > 0 && base > std::numeric_limits<sf_count_t>::max() - offset) || base + offset < 0) return -1;
        in->position = base + offset;
        return in->position;
    }

    static sf_count_t read(void* buffer, sf_count_t count, void* self) {
        auto* in = static_cast<Input*>(self);
        if (count <= 0 || in->position >= in->size) return 0;
        const sf_count_t n = std::min(count, in->size - in->position);
        if (in->memory != nullptr) {
            std::memcpy(buffer, in->memory + in->position, static_cast<std::size_t>(n));
            in->position += n;
            return n;
        }
        sf_count_t done = 0;
        while (done < n) {
            const ssize_t got = ::pread(in->fd, static_cast<char*>(buffer) + done, static_cast<std::size_t>(n - done),
                                        in->position + done);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            done += got;
        }
        in->position += done;
        return done;
    }

    static sf_count_t write(const void*, sf_count_t, void*) { return 0; }
    static sf_count_t tell(void* self) { return static_cast<Input*>(self)->position; }
};

namespace {

// Size of one frame in the file's encoding, as a fraction: num / den bytes.
void encodedFrameSize(int format, int channels, std::uint64_t& num, std::uint64_t& den) {
    const auto ch = static_cast<std::uint64_t>(channels);
    den = 1;
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW: num = ch; break;
    case SF_FORMAT_PCM_16: num = 2 * ch; break;
    case SF_FORMAT_PCM_24: num = 3 * ch; break;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT: num = 4 * ch; break;
    case SF_FORMAT_DOUBLE: num = 8 * ch; break;
    case SF_FORMAT_IMA_ADPCM:
    case SF_FORMAT_MS_ADPCM:
    case SF_FORMAT_G721_32:
        num = ch;
        den = 2;
        break;
    case SF_FORMAT_G723_24:
        num = 3 * ch;
        den = 8;
        break;
    case SF_FORMAT_G723_40:
        num = 5 * ch;
        den = 8;
        break;
    case SF_FORMAT_GSM610:
        num = 65 * ch;
        den = 320;
        break;
    default: num = 2 * ch; break;  // counted as 16-bit samples
    }
}

bool isWaveContainer(int format) {
    switch (format & SF_FORMAT_TYPEMASK) {
    case SF_FORMAT_WAV:
    case SF_FORMAT_WAVEX:
    case SF_FORMAT_RF64: return true;
    default: return false;
    }
}

FileStamp stampOf(const struct stat& st) {
    return FileStamp{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                     static_cast<std::uint64_t>(st.st_size),
                     static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

}  // namespace

bool stampFile(const std::string& path, FileStamp& stamp) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    stamp = stampOf(st);
    return true;
}

WaveFile::~WaveFile() {
    if (sndfile_ != nullptr) sf_close(static_cast<SNDFILE*>(sndfile_));
}

mci::MCIERROR WaveFile::open(const std::string& path, std::unique_ptr<WaveFile>& file, const WaveLimits& limits) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG) return mci::MCIERR_FILE_NOT_FOUND;
        return mci::MCIERR_FILE_READ;
    }
    auto input = std::make_unique<Input>();
    input->fd = fd;
    struct stat st {};
    if (::fstat(fd, &st) != 0) return mci::MCIERR_FILE_READ;
    if (S_ISDIR(st.st_mode)) return mci::MCIERR_FILE_NOT_FOUND;
    // Only plain files: a fifo or a device would block the player or never end.
    if (!S_ISREG(st.st_mode)) return mci::MCIERR_INVALID_FILE;
    if (static_cast<std::uint64_t>(st.st_size) > limits.maxFileBytes) return mci::MCIERR_INVALID_FILE;
    input->size = st.st_size;
    const mci::MCIERROR result = openInput(std::move(input), file, limits);
    if (result == 0) file->stamp_ = stampOf(st);
    return result;
}

mci::MCIERROR WaveFile::openMemory(const void* data, std::size_t size, std::unique_ptr<WaveFile>& file,
                                   const WaveLimits& limits) {
    if (size > limits.maxFileBytes) return mci::MCIERR_INVALID_FILE;
    auto input = std::make_unique<Input>();
    input->memory = static_cast<const unsigned char*>(data);
    input->size = static_cast<sf_count_t>(size);
    return openInput(std::move(input), file, limits);
}

mci::MCIERROR WaveFile::openInput(std::unique_ptr<Input> input, std::unique_ptr<WaveFile>& file,
                                  const WaveLimits& limits) {
    SF_VIRTUAL_IO io{&Input::length, &Input::seek, &Input::read, &Input::write, &Input::tell};
    SF_INFO info{};
    SNDFILE* sf = sf_open_virtual(&io, SFM_READ, &info, input.get());
    if (sf == nullptr) return mci::MCIERR_INVALID_FILE;
    std::unique_ptr<WaveFile> wave(new WaveFile());
    wave->input_ = std::move(input);
    wave->sndfile_ = sf;
    if (!isWaveContainer(info.format) || info.channels < 1 || info.channels > limits.maxChannels ||
        info.samplerate < limits.minSampleRate || info.samplerate > limits.maxSampleRate || info.frames <= 0)
        return mci::MCIERR_INVALID_FILE;
    // Every frame takes at least one bit in the file; a count beyond that is a lie.
    if (static_cast<std::uint64_t>(info.frames) > static_cast<std::uint64_t>(wave->input_->size) * 8)
        return mci::MCIERR_INVALID_FILE;
    wave->sampleRate_ = info.samplerate;
    wave->channels_ = info.channels;
    wave->frames_ = static_cast<std::uint64_t>(info.frames);
    const int subtype = info.format & SF_FORMAT_SUBMASK;
    wave->floating_ = subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
    encodedFrameSize(info.format, info.channels, wave->bytesNum_, wave->bytesDen_);
    file = std::move(wave);
    return 0;
}

bool WaveFile::seek(std::uint64_t frame) {
    if (frame > frames_) return false;
    if (frame == position_) return true;
    if (sf_seek(static_cast<SNDFILE*>(sndfile_), static_cast<sf_count_t>(frame), SEEK_SET) < 0) return false;
    position_ = frame;
    failed_ = false;
    return true;
}

std::size_t WaveFile::read(std::int16_t* out, std::size_t frames) {
    const std::uint64_t left = frames_ - position_;
    const auto want = static_cast<sf_count_t>(std::min<std::uint64_t>(frames, left));
    if (want <= 0) return 0;
    sf_count_t got = floating_ ? readFloating(out, want) : sf_readf_short(static_cast<SNDFILE*>(sndfile_), out, want);
    if (got < 0) got = 0;
    position_ += static_cast<std::uint64_t>(got);
    if (got < want) failed_ = true;  // shorter than the header promised: truncated or unreadable
    return static_cast<std::size_t>(got);
}

// Floating-point samples run from -1 to 1. Read as integers directly they would come
// back unscaled, every sample rounded to the least bit: silence that passes for
// playing. The decoder's own scaling would set the loudest sample of the file to full
// scale, so a quiet file would play loud; they are scaled here instead, as they are.
long long WaveFile::readFloating(std::int16_t* out, long long frames) {
    const std::size_t count = static_cast<std::size_t>(frames) * static_cast<std::size_t>(channels_);
    if (floats_.size() < count) floats_.resize(count);
    const sf_count_t got = sf_readf_float(static_cast<SNDFILE*>(sndfile_), floats_.data(), frames);
    const std::size_t samples = got > 0 ? static_cast<std::size_t>(got) * static_cast<std::size_t>(channels_) : 0;
    for (std::size_t i = 0; i < samples; ++i) {
        const float v = floats_[i];
        if (std::isnan(v)) {
            out[i] = 0;
        } else {
            out[i] = static_cast<std::int16_t>(std::lrint(std::clamp(v * 32768.0f, -32768.0f, 32767.0f)));
        }
    }
    return got;
}

std::uint64_t WaveFile::framesToBytes(std::uint64_t frames) const { return frames * bytesNum_ / bytesDen_; }

std::uint64_t WaveFile::bytesToFrames(std::uint64_t bytes) const {
    return (bytes * bytesDen_ + bytesNum_ - 1) / bytesNum_;
}

}  // namespace mcidev
