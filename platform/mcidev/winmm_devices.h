// The media devices on Windows: the system's own MCI devices behind the command
// interface, and the alarm's own tone through the wave output.
#pragma once

#include <memory>

#include "mci/device.h"
#include "sys/alarm_services.h"
#include "sys/message_queue.h"

namespace mcidev {

// Commands go straight to the system's MCI. A record's dwCallback holds one of the
// queue's window handles, not a system window: a command with MCI_NOTIFY has its
// MM_MCINOTIFY posted to that handle through the queue, with the system's outcome and
// device id. Made, used and destroyed on the user-interface thread, whose system
// message loop must run for the notices to arrive.
std::unique_ptr<mci::DeviceInterface> createDeviceInterface(sys::MessageQueue& queue);

// The same beep pattern as on the other platforms, through the first wave output.
std::unique_ptr<sys::AlarmTone> createAlarmTone();

}  // namespace mcidev
