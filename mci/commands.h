// The media control command interface: message numbers, flags, items, modes, time
// formats, notify outcomes, device types, error codes and parameter records, with
// their published values and field order.
#pragma once

#include <cstdint>

namespace mci {

using DWORD = std::uint32_t;
using DWORD_PTR = std::uintptr_t;
using UINT = std::uint32_t;
using MCIDEVICEID = UINT;
using MCIERROR = DWORD;
using HWND = std::uintptr_t;
using LPCSTR = const char*;
using LPSTR = char*;

// Command messages.
inline constexpr UINT MCI_OPEN = 0x0803;
inline constexpr UINT MCI_CLOSE = 0x0804;
inline constexpr UINT MCI_PLAY = 0x0806;
inline constexpr UINT MCI_SEEK = 0x0807;
inline constexpr UINT MCI_STOP = 0x0808;
inline constexpr UINT MCI_PAUSE = 0x0809;
inline constexpr UINT MCI_INFO = 0x080A;
inline constexpr UINT MCI_GETDEVCAPS = 0x080B;
inline constexpr UINT MCI_SET = 0x080D;
inline constexpr UINT MCI_STEP = 0x080E;
inline constexpr UINT MCI_RECORD = 0x080F;
inline constexpr UINT MCI_SYSINFO = 0x0810;
inline constexpr UINT MCI_BREAK = 0x0811;
inline constexpr UINT MCI_SAVE = 0x0813;
inline constexpr UINT MCI_STATUS = 0x0814;
inline constexpr UINT MCI_CUE = 0x0830;
inline constexpr UINT MCI_WINDOW = 0x0841;
inline constexpr UINT MCI_WHERE = 0x0843;
inline constexpr UINT MCI_LOAD = 0x0850;
inline constexpr UINT MCI_CUT = 0x0851;
inline constexpr UINT MCI_COPY = 0x0852;
inline constexpr UINT MCI_PASTE = 0x0853;
inline constexpr UINT MCI_RESUME = 0x0855;
inline constexpr UINT MCI_DELETE = 0x0856;

// The completion notice: wParam = outcome, lParam = device identifier.
inline constexpr UINT MM_MCINOTIFY = 0x03B9;
inline constexpr UINT MCI_NOTIFY_SUCCESSFUL = 0x0001;
inline constexpr UINT MCI_NOTIFY_SUPERSEDED = 0x0002;
inline constexpr UINT MCI_NOTIFY_ABORTED = 0x0004;
inline constexpr UINT MCI_NOTIFY_FAILURE = 0x0008;

// Flags common to every command.
inline constexpr DWORD MCI_NOTIFY = 0x00000001;
inline constexpr DWORD MCI_WAIT = 0x00000002;
inline constexpr DWORD MCI_FROM = 0x00000004;
inline constexpr DWORD MCI_TO = 0x00000008;
inline constexpr DWORD MCI_TRACK = 0x00000010;

// MCI_OPEN flags.
inline constexpr DWORD MCI_OPEN_SHAREABLE = 0x00000100;
inline constexpr DWORD MCI_OPEN_ELEMENT = 0x00000200;
inline constexpr DWORD MCI_OPEN_ELEMENT_ID = 0x00000800;
inline constexpr DWORD MCI_OPEN_TYPE_ID = 0x00001000;
inline constexpr DWORD MCI_OPEN_TYPE = 0x00002000;

// MCI_SEEK flags.
inline constexpr DWORD MCI_SEEK_TO_START = 0x00000100;
inline constexpr DWORD MCI_SEEK_TO_END = 0x00000200;

// MCI_STATUS flags and items.
inline constexpr DWORD MCI_STATUS_ITEM = 0x00000100;
inline constexpr DWORD MCI_STATUS_START = 0x00000200;
inline constexpr DWORD MCI_STATUS_LENGTH = 0x00000001;
inline constexpr DWORD MCI_STATUS_POSITION = 0x00000002;
inline constexpr DWORD MCI_STATUS_NUMBER_OF_TRACKS = 0x00000003;
inline constexpr DWORD MCI_STATUS_MODE = 0x00000004;
inline constexpr DWORD MCI_STATUS_MEDIA_PRESENT = 0x00000005;
inline constexpr DWORD MCI_STATUS_TIME_FORMAT = 0x00000006;
inline constexpr DWORD MCI_STATUS_READY = 0x00000007;
inline constexpr DWORD MCI_STATUS_CURRENT_TRACK = 0x00000008;

// MCI_GETDEVCAPS flags and items.
inline constexpr DWORD MCI_GETDEVCAPS_ITEM = 0x00000100;
inline constexpr DWORD MCI_GETDEVCAPS_CAN_RECORD = 0x00000001;
inline constexpr DWORD MCI_GETDEVCAPS_HAS_AUDIO = 0x00000002;
inline constexpr DWORD MCI_GETDEVCAPS_HAS_VIDEO = 0x00000003;
inline constexpr DWORD MCI_GETDEVCAPS_DEVICE_TYPE = 0x00000004;
inline constexpr DWORD MCI_GETDEVCAPS_USES_FILES = 0x00000005;
inline constexpr DWORD MCI_GETDEVCAPS_COMPOUND_DEVICE = 0x00000006;
inline constexpr DWORD MCI_GETDEVCAPS_CAN_EJECT = 0x00000007;
inline constexpr DWORD MCI_GETDEVCAPS_CAN_PLAY = 0x00000008;
inline constexpr DWORD MCI_GETDEVCAPS_CAN_SAVE = 0x00000009;

// MCI_SET flags.
inline constexpr DWORD MCI_SET_DOOR_OPEN = 0x00000100;
inline constexpr DWORD MCI_SET_DOOR_CLOSED = 0x00000200;
inline constexpr DWORD MCI_SET_TIME_FORMAT = 0x00000400;
inline constexpr DWORD MCI_SET_AUDIO = 0x00000800;
inline constexpr DWORD MCI_SET_VIDEO = 0x00001000;
inline constexpr DWORD MCI_SET_ON = 0x00002000;
inline constexpr DWORD MCI_SET_OFF = 0x00004000;

// Digital-video flags used by the transport control.
inline constexpr DWORD MCI_DGV_STEP_REVERSE = 0x00010000;
inline constexpr DWORD MCI_DGV_STEP_FRAMES = 0x00020000;
inline constexpr DWORD MCI_DGV_WHERE_SOURCE = 0x00020000;
inline constexpr DWORD MCI_DGV_WHERE_DESTINATION = 0x00040000;
inline constexpr DWORD MCI_DGV_WINDOW_HWND = 0x00010000;

// Modes answered for MCI_STATUS_MODE.
inline constexpr DWORD MCI_STRING_OFFSET = 512;
inline constexpr DWORD MCI_MODE_NOT_READY = MCI_STRING_OFFSET + 12;
inline constexpr DWORD MCI_MODE_STOP = MCI_STRING_OFFSET + 13;
inline constexpr DWORD MCI_MODE_PLAY = MCI_STRING_OFFSET + 14;
inline constexpr DWORD MCI_MODE_RECORD = MCI_STRING_OFFSET + 15;
inline constexpr DWORD MCI_MODE_SEEK = MCI_STRING_OFFSET + 16;
inline constexpr DWORD MCI_MODE_PAUSE = MCI_STRING_OFFSET + 17;
inline constexpr DWORD MCI_MODE_OPEN = MCI_STRING_OFFSET + 18;

// Time formats.
inline constexpr DWORD MCI_FORMAT_MILLISECONDS = 0;
inline constexpr DWORD MCI_FORMAT_HMS = 1;
inline constexpr DWORD MCI_FORMAT_MSF = 2;
inline constexpr DWORD MCI_FORMAT_FRAMES = 3;
inline constexpr DWORD MCI_FORMAT_SMPTE_24 = 4;
inline constexpr DWORD MCI_FORMAT_SMPTE_25 = 5;
inline constexpr DWORD MCI_FORMAT_SMPTE_30 = 6;
inline constexpr DWORD MCI_FORMAT_SMPTE_30DROP = 7;
inline constexpr DWORD MCI_FORMAT_BYTES = 8;
inline constexpr DWORD MCI_FORMAT_SAMPLES = 9;
inline constexpr DWORD MCI_FORMAT_TMSF = 10;

// Packed positions.
constexpr DWORD MCI_MAKE_TMSF(DWORD t, DWORD m, DWORD s, DWORD f) {
    return (t & 0xFF) | ((m & 0xFF) << 8) | ((s & 0xFF) << 16) | ((f & 0xFF) << 24);
}
constexpr DWORD MCI_TMSF_TRACK(DWORD v) { return v & 0xFF; }
constexpr DWORD MCI_TMSF_MINUTE(DWORD v) { return (v >> 8) & 0xFF; }
constexpr DWORD MCI_TMSF_SECOND(DWORD v) { return (v >> 16) & 0xFF; }
constexpr DWORD MCI_TMSF_FRAME(DWORD v) { return (v >> 24) & 0xFF; }
constexpr DWORD MCI_MAKE_MSF(DWORD m, DWORD s, DWORD f) { return (m & 0xFF) | ((s & 0xFF) << 8) | ((f & 0xFF) << 16); }
constexpr DWORD MCI_MSF_MINUTE(DWORD v) { return v & 0xFF; }
constexpr DWORD MCI_MSF_SECOND(DWORD v) { return (v >> 8) & 0xFF; }
constexpr DWORD MCI_MSF_FRAME(DWORD v) { return (v >> 16) & 0xFF; }

// Device types answered for MCI_GETDEVCAPS_DEVICE_TYPE.
inline constexpr DWORD MCI_DEVTYPE_VCR = 513;
inline constexpr DWORD MCI_DEVTYPE_VIDEODISC = 514;
inline constexpr DWORD MCI_DEVTYPE_OVERLAY = 515;
inline constexpr DWORD MCI_DEVTYPE_CD_AUDIO = 516;
inline constexpr DWORD MCI_DEVTYPE_DAT = 517;
inline constexpr DWORD MCI_DEVTYPE_SCANNER = 518;
inline constexpr DWORD MCI_DEVTYPE_ANIMATION = 519;
inline constexpr DWORD MCI_DEVTYPE_DIGITAL_VIDEO = 520;
inline constexpr DWORD MCI_DEVTYPE_OTHER = 521;
inline constexpr DWORD MCI_DEVTYPE_WAVEFORM_AUDIO = 522;
inline constexpr DWORD MCI_DEVTYPE_SEQUENCER = 523;

// Error codes.
inline constexpr MCIERROR MCIERR_BASE = 256;
inline constexpr MCIERROR MCIERR_INVALID_DEVICE_ID = MCIERR_BASE + 1;
inline constexpr MCIERROR MCIERR_UNRECOGNIZED_KEYWORD = MCIERR_BASE + 3;
inline constexpr MCIERROR MCIERR_UNRECOGNIZED_COMMAND = MCIERR_BASE + 5;
inline constexpr MCIERROR MCIERR_HARDWARE = MCIERR_BASE + 6;
inline constexpr MCIERROR MCIERR_INVALID_DEVICE_NAME = MCIERR_BASE + 7;
inline constexpr MCIERROR MCIERR_OUT_OF_MEMORY = MCIERR_BASE + 8;
inline constexpr MCIERROR MCIERR_MISSING_PARAMETER = MCIERR_BASE + 17;
inline constexpr MCIERROR MCIERR_UNSUPPORTED_FUNCTION = MCIERR_BASE + 18;
inline constexpr MCIERROR MCIERR_FILE_NOT_FOUND = MCIERR_BASE + 19;
inline constexpr MCIERROR MCIERR_DEVICE_NOT_READY = MCIERR_BASE + 20;
inline constexpr MCIERROR MCIERR_INTERNAL = MCIERR_BASE + 21;
inline constexpr MCIERROR MCIERR_EXTENSION_NOT_FOUND = MCIERR_BASE + 25;
inline constexpr MCIERROR MCIERR_OUTOFRANGE = MCIERR_BASE + 26;
inline constexpr MCIERROR MCIERR_FLAGS_NOT_COMPATIBLE = MCIERR_BASE + 28;
inline constexpr MCIERROR MCIERR_MUST_USE_SHAREABLE = MCIERR_BASE + 35;
inline constexpr MCIERROR MCIERR_MISSING_DEVICE_NAME = MCIERR_BASE + 36;
inline constexpr MCIERROR MCIERR_BAD_TIME_FORMAT = MCIERR_BASE + 37;
inline constexpr MCIERROR MCIERR_INVALID_FILE = MCIERR_BASE + 40;
inline constexpr MCIERROR MCIERR_NULL_PARAMETER_BLOCK = MCIERR_BASE + 41;
inline constexpr MCIERROR MCIERR_NONAPPLICABLE_FUNCTION = MCIERR_BASE + 46;
inline constexpr MCIERROR MCIERR_FILENAME_REQUIRED = MCIERR_BASE + 48;
inline constexpr MCIERROR MCIERR_DEVICE_NOT_INSTALLED = MCIERR_BASE + 50;
inline constexpr MCIERROR MCIERR_WAVE_OUTPUTSUNSUITABLE = MCIERR_BASE + 70;
inline constexpr MCIERROR MCIERR_SEQ_PORT_MISCERROR = MCIERR_BASE + 84;
inline constexpr MCIERROR MCIERR_SEQ_NOMIDIPRESENT = MCIERR_BASE + 87;
inline constexpr MCIERROR MCIERR_FILE_READ = MCIERR_BASE + 92;
inline constexpr MCIERROR MCIERR_CUSTOM_DRIVER_BASE = MCIERR_BASE + 256;

// A rectangle as the system's, which is not packed.
struct MCI_RECT {
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
};

// Parameter records. The system packs them to the byte: on a 64-bit target a pointer
// that follows a 32-bit field sits 4 bytes after it, not 8.
#pragma pack(push, 1)

struct MCI_GENERIC_PARMS {
    DWORD_PTR dwCallback;
};

struct MCI_OPEN_PARMS {
    DWORD_PTR dwCallback;
    MCIDEVICEID wDeviceID;
    LPCSTR lpstrDeviceType;
    LPCSTR lpstrElementName;
    LPCSTR lpstrAlias;
};

struct MCI_PLAY_PARMS {
    DWORD_PTR dwCallback;
    DWORD dwFrom;
    DWORD dwTo;
};

struct MCI_RECORD_PARMS {
    DWORD_PTR dwCallback;
    DWORD dwFrom;
    DWORD dwTo;
};

struct MCI_SEEK_PARMS {
    DWORD_PTR dwCallback;
    DWORD dwTo;
};

struct MCI_STATUS_PARMS {
    DWORD_PTR dwCallback;
    DWORD_PTR dwReturn;
    DWORD dwItem;
    DWORD dwTrack;
};

struct MCI_SET_PARMS {
    DWORD_PTR dwCallback;
    DWORD dwTimeFormat;
    DWORD dwAudio;
};

struct MCI_GETDEVCAPS_PARMS {
    DWORD_PTR dwCallback;
    DWORD dwReturn;
    DWORD dwItem;
};

struct MCI_DGV_STEP_PARMS {
    DWORD_PTR dwCallback;
    DWORD dwFrames;
};

struct MCI_DGV_WINDOW_PARMS {
    DWORD_PTR dwCallback;
    HWND hWnd;
    UINT nCmdShow;
    LPSTR lpstrText;
};

struct MCI_DGV_RECT_PARMS {
    DWORD_PTR dwCallback;
    MCI_RECT rc;
};

#pragma pack(pop)

}  // namespace mci
