// The error codes the devices return beyond the command interface's own, and the text
// of every code they return. Low enough in the library that any part may include it.
#pragma once

#include "mci/commands.h"

namespace mcidev {

// Error codes of our own, above the range the command interface reserves for drivers.
inline constexpr mci::MCIERROR MCIERR_NO_AUDIO_OUTPUT = mci::MCIERR_CUSTOM_DRIVER_BASE + 1;
inline constexpr mci::MCIERROR MCIERR_SOUND_FONT_UNUSABLE = mci::MCIERR_CUSTOM_DRIVER_BASE + 2;
// The CD device's disc image cannot be used; the manager's error string tells why.
inline constexpr mci::MCIERROR MCIERR_DISC_IMAGE_UNUSABLE = mci::MCIERR_CUSTOM_DRIVER_BASE + 3;
// The audio output went away or stopped taking sound while a play was waited for.
inline constexpr mci::MCIERROR MCIERR_AUDIO_OUTPUT_LOST = mci::MCIERR_CUSTOM_DRIVER_BASE + 4;
// The sequencer cannot open its synthesizer library (not installed, or not the version
// the program was built for).
inline constexpr mci::MCIERROR MCIERR_SYNTH_LIBRARY_MISSING = mci::MCIERR_CUSTOM_DRIVER_BASE + 5;

// The text of an error code the devices return; null for a code they never return.
// The texts end without a full stop: the program's error report adds one. They begin
// with a word that still reads right with its first letter lowered (no acronym), as
// the report may put them after a text of its own.
const char* errorText(mci::MCIERROR code);

}  // namespace mcidev
