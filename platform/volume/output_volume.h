// The default sound output made loud enough for an alarm: through the sound server's
// client library on Linux, the default render endpoint's volume on Windows. A muted
// output is unmuted and one below the audible floor is raised to it; restore() puts back
// exactly that, on the same output, unless the user has touched it since.
#pragma once

#include <memory>
#include <string>

#include "sys/alarm_services.h"

namespace volume {

// The audible floor, in percent of full volume as the desktop's volume control shows it.
// Both systems' controls are on a perceptual scale, so this is about -31 dB: quiet, but
// plainly heard from bed on ordinary speakers, while a user who keeps the output low on
// purpose is turned up only a little.
inline constexpr int kAudibleFloorPercent = 30;

// How the output was when it had to be turned up, as the user is told it ("muted",
// "turned down to 4 %", "muted and turned down to 4 %"); `percent` is the volume as it
// was, rounded, or < 0 when it was high enough.
std::string describeRaise(bool muted, int percent);

#ifdef _WIN32
std::unique_ptr<sys::OutputVolume> createOutputVolume();
#else
// `server` names the sound server as its clients spell it ("unix:/run/user/1000/pulse/
// native"); empty means the one the user's session uses.
std::unique_ptr<sys::OutputVolume> createOutputVolume(const std::string& server = {});
#endif

}  // namespace volume
