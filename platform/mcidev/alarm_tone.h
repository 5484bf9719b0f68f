// The alarm's own tone: a beep pattern made up as it plays, for when the chosen sound
// cannot be played. It needs no file and no device, only an audio output, and it goes
// through the same output as the devices so that it mixes with anything they play.
#pragma once

#include <memory>

#include "platform/mcidev/audio_output.h"
#include "sys/alarm_services.h"

namespace mcidev {

// Four short beeps and a pause, over and over, at about half of full scale. start()
// fails with the devices' own text of the output's error (no audio output, say). When
// the output goes away under it, the tone no longer counts as sounding, and start()
// opens the output again.
std::unique_ptr<sys::AlarmTone> makeAlarmTone(std::shared_ptr<AudioOutput> output);

}  // namespace mcidev
