// The three device kinds behind the manager.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "mci/commands.h"
#include "platform/mcidev/audio_output.h"
#include "platform/mcidev/media_device.h"

namespace mcidev {

namespace midi {
class SoundFontCache;
}
namespace cd {
class Disc;
}

// "WaveAudio": a wave file. Times in milliseconds (the default), samples or bytes.
mci::MCIERROR openWaveDevice(const std::string& path, AudioOutput& output, std::function<void()> finished,
                             std::unique_ptr<MediaDevice>& device);

// "Sequencer": a MIDI file played through the sound font. Times in milliseconds.
mci::MCIERROR openSequencerDevice(const std::string& path, midi::SoundFontCache& fonts, AudioOutput& output,
                                  std::function<void()> finished, std::unique_ptr<MediaDevice>& device);

// "CDAudio": the disc in a drive or an image. Times in MSF (the default), TMSF or
// milliseconds. A drive without a disc opens, and answers "not ready".
mci::MCIERROR openCdDevice(std::shared_ptr<cd::Disc> disc, AudioOutput& output, std::function<void()> finished,
                           std::unique_ptr<MediaDevice>& device);

}  // namespace mcidev
