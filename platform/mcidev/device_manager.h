// The real media devices behind the command interface: wave audio, the MIDI sequencer
// and CD audio, played through the system's audio output.
//
//   mcidev::DeviceOptions options;                 // system output, default drive
//   auto devices = mcidev::createDeviceManager(queue, options);
//   // then hand *devices to the transport control
//
// The program's own alarm tone sounds through the devices' output, so that it mixes
// with whatever they play: make the output first and hand it to both.
//
//   options.output = mcidev::makeSdlOutput();
//   auto devices = mcidev::createDeviceManager(queue, options);
//   auto tone = mcidev::makeAlarmTone(options.output);
//
// Device types by name (case-insensitive): "WaveAudio", "Sequencer", "CDAudio"; with no
// type, by the element's extension: .wav, or .mid/.midi/.rmi. Completion notices are
// posted to the callback window through the message queue and arrive on the
// user-interface thread. The error string of MCIERR_DISC_IMAGE_UNUSABLE says what is
// wrong with the image of the last failed open.
//
// Threads: sendCommand and errorString are called on the user-interface thread, the one
// that drains `queue`. The queue must outlive the manager. While a device plays, it
// has an audio thread of its own; nothing of the audio output runs while nothing
// plays.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "mci/device.h"
#include "platform/mcidev/alarm_tone.h"
#include "platform/mcidev/audio_output.h"
#include "platform/mcidev/cd/disc.h"
#include "platform/mcidev/error_text.h"

namespace sys {
class MessageQueue;
}

namespace mcidev {

namespace midi {
class SoundFontCache;
}

enum class AudioOutputChoice {
    System,  // the system's default output device
    None,    // no output: devices open and answer, playing fails with MCIERR_NO_AUDIO_OUTPUT
};

struct DeviceOptions {
    AudioOutputChoice audioOutput = AudioOutputChoice::System;
    // When set, the devices play through this output and `audioOutput` is not looked at.
    std::shared_ptr<AudioOutput> output;
    // The CD device plays the computer's default drive, or this disc image (a cue sheet
    // path) when it is set.
    std::string cdImage;
    // When set, makes the disc for each first open of the CD device instead (tests).
    std::function<std::shared_ptr<cd::Disc>()> discFactory;
    // The General MIDI sound font; empty means the system's default one. It is loaded
    // when a sequencer device opens, and let go once none is open any more.
    std::string soundFont;
    // When set, the sequencer takes its sound font from here and `soundFont` is not
    // looked at (tests).
    std::shared_ptr<midi::SoundFontCache> fontCache;
};

std::unique_ptr<mci::DeviceInterface> createDeviceManager(sys::MessageQueue& queue, const DeviceOptions& options = {});

}  // namespace mcidev
