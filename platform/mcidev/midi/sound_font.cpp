#include "platform/mcidev/midi/sound_font.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <future>
#include <mutex>

#include "platform/mcidev/midi/synth_setup.h"

namespace mcidev::midi {

namespace detail {

void prepareSynthLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Warnings (a missing drum kit, an odd generator in a font) would only fill the
        // terminal; errors and panics keep the library's own reporting.
        fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
        fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
        fluid_set_log_function(FLUID_DBG, nullptr, nullptr);
    });
}

}  // namespace detail

namespace {

// FluidSynth keeps the sample data of a loaded font in a process-wide cache, keyed by
// file and modification time, for as long as any synthesizer holds that font. This
// otherwise silent synthesizer holds it, so every MIDI source that loads the same file
// afterwards shares the samples and only reads the font's small preset tables.
class Keeper {
public:
    ~Keeper() {
        if (synth_) {
            delete_fluid_synth(synth_);
        }
        if (settings_) {
            delete_fluid_settings(settings_);
        }
    }

    bool load(const std::string& path) {
        detail::prepareSynthLibrary();
        settings_ = new_fluid_settings();
        if (!settings_) {
            return false;
        }
        fluid_settings_setint(settings_, "synth.polyphony", 1);
        fluid_settings_setint(settings_, "synth.reverb.active", 0);
        fluid_settings_setint(settings_, "synth.chorus.active", 0);
        fluid_settings_setint(settings_, "synth.lock-memory", 0);
        fluid_settings_setint(settings_, "synth.dynamic-sample-loading", 0);
        synth_ = new_fluid_synth(settings_);
        return synth_ && fluid_synth_sfload(synth_, path.c_str(), 0) != FLUID_FAILED;
    }

private:
    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
};

struct Outcome {
    MidiError error = MidiError::None;
    std::string path;
};

}  // namespace

struct SoundFontCache::Impl {
    std::string requested;
    Keeper keeper;  // touched only by the loading task; outlives the future below
    mutable std::mutex mutex;
    std::shared_future<Outcome> future;

    Outcome load() {
        Outcome outcome;
        outcome.path = requested.empty() ? findDefault() : requested;
        std::error_code ec;
        if (outcome.path.empty() || !std::filesystem::is_regular_file(outcome.path, ec)) {
            outcome.error = MidiError::NoSoundFont;
            outcome.path.clear();
        } else if (!keeper.load(outcome.path)) {
            outcome.error = MidiError::BadSoundFont;
            outcome.path.clear();
        }
        return outcome;
    }

    void start() {
        std::lock_guard lock(mutex);
        if (!future.valid()) {
            future = std::async(std::launch::async, [this] { return load(); }).share();
        }
    }

    std::shared_future<Outcome> current() const {
        std::lock_guard lock(mutex);
        return future;
    }
};

SoundFontCache::SoundFontCache() : SoundFontCache(std::string{}) {}

SoundFontCache::SoundFontCache(std::string path) : impl_(std::make_unique<Impl>()) {
    impl_->requested = std::move(path);
}

SoundFontCache::~SoundFontCache() {
    // The keeper must not be destroyed under a running load.
    if (auto f = impl_->current(); f.valid()) {
        f.wait();
    }
}

void SoundFontCache::preload() { impl_->start(); }

MidiError SoundFontCache::wait() {
    impl_->start();
    return impl_->current().get().error;
}

std::string SoundFontCache::path() const {
    auto f = impl_->current();
    if (!f.valid() || f.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        return {};
    }
    return f.get().path;
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
