// Internal to the MIDI library.
#pragma once

namespace mcidev::midi::detail {

// Once per process, before the first synthesizer: sets the synthesizer library's
// logging the way this program wants it.
void prepareSynthLibrary();

}  // namespace mcidev::midi::detail
