// The two calls through which the transport control reaches a media device, and the
// completion notice it gets back (MM_MCINOTIFY posted to its callback window).
#pragma once

#include <cstdint>

#include "mci/commands.h"

namespace mci {

class DeviceInterface {
public:
    virtual ~DeviceInterface() = default;

    // Sends a command to a device (0 with MCI_OPEN). `params` points to the record the
    // command takes. Returns 0 on success or an MCIERR_ code. A command with MCI_NOTIFY
    // posts MM_MCINOTIFY (wParam = outcome, lParam = device id) to the window named in
    // the record's dwCallback when it ends; a callback of 0 means no notice.
    virtual MCIERROR sendCommand(MCIDEVICEID device, UINT message, DWORD flags, void* params) = 0;

    // Copies the text of an error code into buffer (always terminated when size > 0).
    // Returns false when the code has no text.
    virtual bool errorString(MCIERROR code, char* buffer, UINT size) = 0;
};

}  // namespace mci
