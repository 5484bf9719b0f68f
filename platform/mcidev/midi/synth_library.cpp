#include "platform/mcidev/midi/synth_library.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <utility>

namespace mcidev::midi {

namespace {

std::string& libraryFile() {
    static std::string file = "libfluidsynth.so.3";
    return file;
}

// The OpenMP runtime that comes with the library reads how its idle workers wait once,
// when it is loaded, and by default they spin on a core for a while after every parallel
// loop. Sleeping suits a program that is idle nearly all the time. It is set while the
// program starts and has one thread, as changing the environment later could race with
// another thread reading it; a setting the user made is kept.
[[maybe_unused]] const bool kPassiveWorkers = [] {
    setenv("OMP_WAIT_POLICY", "PASSIVE", 0);
    return true;
}();

template <typename Function>
bool resolve(void* handle, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(handle, name));
    return function != nullptr;
}

// Null, with the reason on stderr, when the library cannot be used.
const SynthLibrary* open() {
    static SynthLibrary library;
    // Local: the library's own dependencies stay out of the program's symbol lookups.
    void* const handle = dlopen(libraryFile().c_str(), RTLD_NOW | RTLD_LOCAL);
    const char* missing = nullptr;
    if (handle) {
#define TOLVANE_SYNTH_RESOLVE(name) \
    if (!missing && !resolve(handle, #name, library.name)) missing = #name;
        TOLVANE_SYNTH_FUNCTIONS(TOLVANE_SYNTH_RESOLVE)
#undef TOLVANE_SYNTH_RESOLVE
    }
    if (!handle || missing) {
        const char* why = dlerror();
        std::fprintf(stderr, "tolvane: MIDI synthesizer library unusable: %s\n",
                     why ? why : (missing ? missing : libraryFile().c_str()));
        if (handle) {
            dlclose(handle);
        }
        return nullptr;
    }
    // Looked up through the library, which brought the runtime in with it.
    resolve(handle, "omp_set_num_threads", library.omp_set_num_threads);

    // Warnings (a missing drum kit, an odd generator in a font) would only fill the
    // terminal; errors and panics keep the library's own reporting.
    library.fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
    library.fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
    library.fluid_set_log_function(FLUID_DBG, nullptr, nullptr);
    return &library;
}

}  // namespace

const SynthLibrary* synthLibrary() {
    static std::once_flag once;
    static const SynthLibrary* library = nullptr;
    std::call_once(once, [] { library = open(); });
    return library;
}

void detail::setSynthLibraryFile(std::string file) { libraryFile() = std::move(file); }

}  // namespace mcidev::midi
