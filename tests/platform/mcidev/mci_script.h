// A wave file made up for the media tests, and the request script both platforms' wave
// devices answer in the parity check.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

#include "mci/device.h"
#include "sys/message_queue.h"

namespace mcitest {

// A 16-bit mono wave of `ms` milliseconds at 22050 Hz: a soft 440 Hz tone.
void writeToneWave(const std::string& path, std::uint32_t ms);

// Runs the wave script against `devices` on `path` (a wave of 2000 ms), printing one
// line a request: the request, its error code, what it answered, and the notices that
// reached the script's window since the last line. `pump` lets the system and the
// queue deliver what is due and waits about `ms` milliseconds.
void runWaveScript(mci::DeviceInterface& devices, sys::MessageQueue& queue, const std::string& path,
                   const std::function<void(int ms)>& pump, std::ostream& out);

}  // namespace mcitest
