#include "platform/mcidev/midi/sound_font.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <future>
#include <mutex>
#include <system_error>
#include <utility>

#include "platform/mcidev/midi/synth_library.h"

namespace mcidev::midi {

namespace {

// FluidSynth keeps the sample data of a loaded font in a process-wide cache, keyed by
// file and modification time, for as long as any synthesizer holds that font. This
// otherwise silent synthesizer holds it, so every MIDI source that loads the same file
// afterwards shares the samples and only reads the font's small preset tables.
class Keeper {
public:
    explicit Keeper(const SynthLibrary& fs) : fs_(fs) {}
    Keeper(const Keeper&) = delete;
    Keeper& operator=(const Keeper&) = delete;

    ~Keeper() {
        const bool held = synth_ != nullptr;
        if (synth_) {
            fs_.delete_fluid_synth(synth_);
        }
        if (settings_) {
            fs_.delete_fluid_settings(settings_);
        }
#if defined(__GLIBC__)
        // The samples were freed into the arena of the thread that loaded them, which
        // keeps freed memory for reuse; no sound needs it until the next MIDI source.
        if (held) {
            malloc_trim(0);
        }
#endif
    }

    bool load(const std::string& path) {
        settings_ = fs_.new_fluid_settings();
        if (!settings_) {
            return false;
        }
        fs_.fluid_settings_setint(settings_, "synth.polyphony", 1);
        fs_.fluid_settings_setint(settings_, "synth.reverb.active", 0);
        fs_.fluid_settings_setint(settings_, "synth.chorus.active", 0);
        fs_.fluid_settings_setint(settings_, "synth.lock-memory", 0);
        fs_.fluid_settings_setint(settings_, "synth.dynamic-sample-loading", 0);
        synth_ = fs_.new_fluid_synth(settings_);
        if (!synth_) {
            return false;
        }
        // The library reads a font's samples in a parallel loop of the OpenMP runtime it
        // is built with, when it has one. A General MIDI font loads in a few tens of
        // milliseconds on one core, and helper threads would take a second core from the
        // rest of the desktop meanwhile, so the team of this thread is this thread alone.
        if (fs_.omp_set_num_threads) {
            fs_.omp_set_num_threads(1);  // this thread's setting only
        }
        return fs_.fluid_synth_sfload(synth_, path.c_str(), 0) != FLUID_FAILED;
    }

private:
    const SynthLibrary& fs_;
    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
};

struct Outcome {
    MidiError error = MidiError::None;
    std::string path;
    std::shared_ptr<const Keeper> keeper;  // the last copy of the outcome frees the font
};

Outcome load(const std::string& requested) {
    Outcome outcome;
    const SynthLibrary* fs = synthLibrary();
    if (!fs) {
        outcome.error = MidiError::NoSynthLibrary;
        return outcome;
    }
    outcome.path = requested.empty() ? SoundFontCache::findDefault() : requested;
    std::error_code ec;
    if (outcome.path.empty() || !std::filesystem::is_regular_file(outcome.path, ec)) {
        outcome.error = MidiError::NoSoundFont;
        outcome.path.clear();
        return outcome;
    }
    auto keeper = std::make_shared<Keeper>(*fs);
    if (!keeper->load(outcome.path)) {
        outcome.error = MidiError::BadSoundFont;
        outcome.path.clear();
        return outcome;
    }
    outcome.keeper = std::move(keeper);
    return outcome;
}

}  // namespace

struct SoundFontCache::Impl {
    std::string requested;
    mutable std::mutex mutex;
    std::shared_future<Outcome> future;  // invalid while nothing is loaded or loading
    unsigned loads = 0;

    std::shared_future<Outcome> start() {
        std::lock_guard lock(mutex);
        if (!future.valid()) {
            auto task = [path = requested] { return load(path); };
            try {
                future = std::async(std::launch::async, task).share();
            } catch (const std::system_error&) {
                future = std::async(std::launch::deferred, task).share();  // the first waiter loads it
            }
            ++loads;
        }
        return future;
    }

    std::shared_future<Outcome> current() const {
        std::lock_guard lock(mutex);
        return future;
    }

    std::shared_future<Outcome> take() {
        std::lock_guard lock(mutex);
        return std::exchange(future, {});
    }
};

SoundFontCache::SoundFontCache() : SoundFontCache(std::string{}) {}

SoundFontCache::SoundFontCache(std::string path) : impl_(std::make_unique<Impl>()) {
    impl_->requested = std::move(path);
}

SoundFontCache::~SoundFontCache() { release(); }

void SoundFontCache::preload() { impl_->start(); }

MidiError SoundFontCache::wait() { return impl_->start().get().error; }

std::string SoundFontCache::path() const {
    auto f = impl_->current();
    if (!f.valid() || f.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        return {};
    }
    return f.get().path;
}

void SoundFontCache::release() {
    // The keeper goes with the last copy of the outcome: this one, or a waiter's. A load
    // left to its first waiter, and not waited for yet, is not run at all.
    const std::shared_future<Outcome> loaded = impl_->take();
    if (loaded.valid() && loaded.wait_for(std::chrono::seconds(0)) != std::future_status::deferred) {
        loaded.wait();
    }
}

unsigned SoundFontCache::loads() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->loads;
}

std::string SoundFontCache::findDefault() {
    return find({"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/soundfonts/default.sf2"},
                {"/usr/share/sounds/sf2", "/usr/share/soundfonts"});
}

std::string SoundFontCache::find(const std::vector<std::string>& preferred,
                                 const std::vector<std::string>& directories) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const std::string& file : preferred) {
        if (fs::is_regular_file(file, ec)) {  // follows the alternatives symlink
            return file;
        }
    }
    for (const std::string& dir : directories) {
        std::vector<std::string> found;
        fs::directory_iterator it(dir, ec);
        if (ec) {
            continue;
        }
        for (const fs::directory_entry& entry : it) {
            std::string ext = entry.path().extension().string();
            std::transform(ext.begin(), ext.end(), ext.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            if (ext == ".sf2" && fs::is_regular_file(entry.path(), ec)) {
                found.push_back(entry.path().string());
            }
        }
        if (!found.empty()) {
            return *std::min_element(found.begin(), found.end());
        }
    }
    return {};
}

}  // namespace mcidev::midi
