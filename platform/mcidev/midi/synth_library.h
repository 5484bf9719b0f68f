// The synthesizer library, opened when a MIDI source first needs it rather than when the
// program starts: it brings a dozen libraries of its own that nothing else uses. Its
// header still gives the types and constants; every call goes through this table.
#pragma once

#include <fluidsynth.h>

#include <string>

namespace mcidev::midi {

// Every function of the library this program calls. The types are taken from the
// library's own declarations, so a pointer cannot disagree with what it points to.
// clang-format off
#define TOLVANE_SYNTH_FUNCTIONS(X) \
    X(fluid_set_log_function) \
    X(new_fluid_settings) \
    X(delete_fluid_settings) \
    X(fluid_settings_setint) \
    X(fluid_settings_setnum) \
    X(new_fluid_synth) \
    X(delete_fluid_synth) \
    X(fluid_synth_sfload) \
    X(fluid_synth_write_float) \
    X(fluid_synth_noteon) \
    X(fluid_synth_noteoff) \
    X(fluid_synth_key_pressure) \
    X(fluid_synth_cc) \
    X(fluid_synth_program_change) \
    X(fluid_synth_channel_pressure) \
    X(fluid_synth_pitch_bend) \
    X(fluid_synth_sysex)
// clang-format on

struct SynthLibrary {
#define TOLVANE_SYNTH_POINTER(name) decltype(&::name) name = nullptr;
    TOLVANE_SYNTH_FUNCTIONS(TOLVANE_SYNTH_POINTER)
#undef TOLVANE_SYNTH_POINTER
    // From the OpenMP runtime the library may be built with; null when it has none.
    void (*omp_set_num_threads)(int) = nullptr;
};

// Opens the library on the first call (from any thread; later calls wait for the first)
// and gives its functions, or null when the library or one of the functions is missing.
// The outcome holds for the rest of the run: the library is never closed.
const SynthLibrary* synthLibrary();

namespace detail {
// The file synthLibrary() opens, when set before its first call (tests).
void setSynthLibraryFile(std::string file);
}  // namespace detail

}  // namespace mcidev::midi
