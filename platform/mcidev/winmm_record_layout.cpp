// The command interface's values and records are the system's own on this target, so
// that a record filled by the program goes to mciSendCommandA as it is. Nothing here
// runs: a difference stops the build.
//
// mci/commands.h comes first: once <mmsystem.h> is in, its names are macros. Our values
// are taken into a table before that, and each name is looked up in it afterwards, when
// the same name spells the system's value.
#include <cstddef>
#include <string_view>

#include "mci/commands.h"

#define TOLVANE_MCI_VALUES(X)         \
    X(MCI_OPEN)                       \
    X(MCI_CLOSE)                      \
    X(MCI_PLAY)                       \
    X(MCI_SEEK)                       \
    X(MCI_STOP)                       \
    X(MCI_PAUSE)                      \
    X(MCI_INFO)                       \
    X(MCI_GETDEVCAPS)                 \
    X(MCI_SET)                        \
    X(MCI_STEP)                       \
    X(MCI_RECORD)                     \
    X(MCI_SYSINFO)                    \
    X(MCI_BREAK)                      \
    X(MCI_SAVE)                       \
    X(MCI_STATUS)                     \
    X(MCI_CUE)                        \
    X(MCI_WINDOW)                     \
    X(MCI_WHERE)                      \
    X(MCI_LOAD)                       \
    X(MCI_CUT)                        \
    X(MCI_COPY)                       \
    X(MCI_PASTE)                      \
    X(MCI_RESUME)                     \
    X(MCI_DELETE)                     \
    X(MM_MCINOTIFY)                   \
    X(MCI_NOTIFY_SUCCESSFUL)          \
    X(MCI_NOTIFY_SUPERSEDED)          \
    X(MCI_NOTIFY_ABORTED)             \
    X(MCI_NOTIFY_FAILURE)             \
    X(MCI_NOTIFY)                     \
    X(MCI_WAIT)                       \
    X(MCI_FROM)                       \
    X(MCI_TO)                         \
    X(MCI_TRACK)                      \
    X(MCI_OPEN_SHAREABLE)             \
    X(MCI_OPEN_ELEMENT)               \
    X(MCI_OPEN_ELEMENT_ID)            \
    X(MCI_OPEN_TYPE_ID)               \
    X(MCI_OPEN_TYPE)                  \
    X(MCI_SEEK_TO_START)              \
    X(MCI_SEEK_TO_END)                \
    X(MCI_STATUS_ITEM)                \
    X(MCI_STATUS_START)               \
    X(MCI_STATUS_LENGTH)              \
    X(MCI_STATUS_POSITION)            \
    X(MCI_STATUS_NUMBER_OF_TRACKS)    \
    X(MCI_STATUS_MODE)                \
    X(MCI_STATUS_MEDIA_PRESENT)       \
    X(MCI_STATUS_TIME_FORMAT)         \
    X(MCI_STATUS_READY)               \
    X(MCI_STATUS_CURRENT_TRACK)       \
    X(MCI_GETDEVCAPS_ITEM)            \
    X(MCI_GETDEVCAPS_CAN_RECORD)      \
    X(MCI_GETDEVCAPS_HAS_AUDIO)       \
    X(MCI_GETDEVCAPS_HAS_VIDEO)       \
    X(MCI_GETDEVCAPS_DEVICE_TYPE)     \
    X(MCI_GETDEVCAPS_USES_FILES)      \
    X(MCI_GETDEVCAPS_COMPOUND_DEVICE) \
    X(MCI_GETDEVCAPS_CAN_EJECT)       \
    X(MCI_GETDEVCAPS_CAN_PLAY)        \
    X(MCI_GETDEVCAPS_CAN_SAVE)        \
    X(MCI_SET_DOOR_OPEN)              \
    X(MCI_SET_DOOR_CLOSED)            \
    X(MCI_SET_TIME_FORMAT)            \
    X(MCI_SET_AUDIO)                  \
    X(MCI_SET_VIDEO)                  \
    X(MCI_SET_ON)                     \
    X(MCI_SET_OFF)                    \
    X(MCI_DGV_STEP_REVERSE)           \
    X(MCI_DGV_STEP_FRAMES)            \
    X(MCI_DGV_WHERE_SOURCE)           \
    X(MCI_DGV_WHERE_DESTINATION)      \
    X(MCI_DGV_WINDOW_HWND)            \
    X(MCI_STRING_OFFSET)              \
    X(MCI_MODE_NOT_READY)             \
    X(MCI_MODE_STOP)                  \
    X(MCI_MODE_PLAY)                  \
    X(MCI_MODE_RECORD)                \
    X(MCI_MODE_SEEK)                  \
    X(MCI_MODE_PAUSE)                 \
    X(MCI_MODE_OPEN)                  \
    X(MCI_FORMAT_MILLISECONDS)        \
    X(MCI_FORMAT_HMS)                 \
    X(MCI_FORMAT_MSF)                 \
    X(MCI_FORMAT_FRAMES)              \
    X(MCI_FORMAT_SMPTE_24)            \
    X(MCI_FORMAT_SMPTE_25)            \
    X(MCI_FORMAT_SMPTE_30)            \
    X(MCI_FORMAT_SMPTE_30DROP)        \
    X(MCI_FORMAT_BYTES)               \
    X(MCI_FORMAT_SAMPLES)             \
    X(MCI_FORMAT_TMSF)                \
    X(MCI_DEVTYPE_VCR)                \
    X(MCI_DEVTYPE_VIDEODISC)          \
    X(MCI_DEVTYPE_OVERLAY)            \
    X(MCI_DEVTYPE_CD_AUDIO)           \
    X(MCI_DEVTYPE_DAT)                \
    X(MCI_DEVTYPE_SCANNER)            \
    X(MCI_DEVTYPE_ANIMATION)          \
    X(MCI_DEVTYPE_DIGITAL_VIDEO)      \
    X(MCI_DEVTYPE_OTHER)              \
    X(MCI_DEVTYPE_WAVEFORM_AUDIO)     \
    X(MCI_DEVTYPE_SEQUENCER)          \
    X(MCIERR_BASE)                    \
    X(MCIERR_INVALID_DEVICE_ID)       \
    X(MCIERR_UNRECOGNIZED_KEYWORD)    \
    X(MCIERR_UNRECOGNIZED_COMMAND)    \
    X(MCIERR_HARDWARE)                \
    X(MCIERR_INVALID_DEVICE_NAME)     \
    X(MCIERR_OUT_OF_MEMORY)           \
    X(MCIERR_MISSING_PARAMETER)       \
    X(MCIERR_UNSUPPORTED_FUNCTION)    \
    X(MCIERR_FILE_NOT_FOUND)          \
    X(MCIERR_DEVICE_NOT_READY)        \
    X(MCIERR_INTERNAL)                \
    X(MCIERR_EXTENSION_NOT_FOUND)     \
    X(MCIERR_OUTOFRANGE)              \
    X(MCIERR_FLAGS_NOT_COMPATIBLE)    \
    X(MCIERR_MUST_USE_SHAREABLE)      \
    X(MCIERR_MISSING_DEVICE_NAME)     \
    X(MCIERR_BAD_TIME_FORMAT)         \
    X(MCIERR_INVALID_FILE)            \
    X(MCIERR_NULL_PARAMETER_BLOCK)    \
    X(MCIERR_NONAPPLICABLE_FUNCTION)  \
    X(MCIERR_FILENAME_REQUIRED)       \
    X(MCIERR_DEVICE_NOT_INSTALLED)    \
    X(MCIERR_WAVE_OUTPUTSUNSUITABLE)  \
    X(MCIERR_SEQ_PORT_MISCERROR)      \
    X(MCIERR_SEQ_NOMIDIPRESENT)       \
    X(MCIERR_FILE_READ)               \
    X(MCIERR_CUSTOM_DRIVER_BASE)      \
    /* end */

namespace {

#define TOLVANE_NAME(name) #name,
constexpr std::string_view kNames[] = {TOLVANE_MCI_VALUES(TOLVANE_NAME)};
#undef TOLVANE_NAME
#define TOLVANE_OURS(name) static_cast<unsigned long long>(mci::name),
constexpr unsigned long long kOurs[] = {TOLVANE_MCI_VALUES(TOLVANE_OURS)};
#undef TOLVANE_OURS

constexpr unsigned long long ours(std::string_view name) {
    for (std::size_t i = 0; i < std::size(kNames); ++i)
        if (kNames[i] == name) return kOurs[i];
    return ~0ULL;
}

constexpr mci::DWORD kTmsf = mci::MCI_MAKE_TMSF(1, 2, 3, 4);
constexpr mci::DWORD kMsf = mci::MCI_MAKE_MSF(5, 6, 7);
constexpr mci::DWORD kTmsfParts[] = {mci::MCI_TMSF_TRACK(0x04030201), mci::MCI_TMSF_MINUTE(0x04030201),
                                     mci::MCI_TMSF_SECOND(0x04030201), mci::MCI_TMSF_FRAME(0x04030201)};
constexpr mci::DWORD kMsfParts[] = {mci::MCI_MSF_MINUTE(0x070605), mci::MCI_MSF_SECOND(0x070605),
                                    mci::MCI_MSF_FRAME(0x070605)};

}  // namespace

#include <windows.h>

#include <mmsystem.h>

#include <digitalv.h>

// Each name now spells the system's value.
#define TOLVANE_SAME(name) \
    static_assert(ours(#name) == static_cast<unsigned long long>(name), #name " differs from the system's value");
TOLVANE_MCI_VALUES(TOLVANE_SAME)
#undef TOLVANE_SAME

static_assert(kTmsf == MCI_MAKE_TMSF(1, 2, 3, 4) && kMsf == MCI_MAKE_MSF(5, 6, 7));
static_assert(kTmsfParts[0] == MCI_TMSF_TRACK(0x04030201) && kTmsfParts[1] == MCI_TMSF_MINUTE(0x04030201) &&
              kTmsfParts[2] == MCI_TMSF_SECOND(0x04030201) && kTmsfParts[3] == MCI_TMSF_FRAME(0x04030201));
static_assert(kMsfParts[0] == MCI_MSF_MINUTE(0x070605) && kMsfParts[1] == MCI_MSF_SECOND(0x070605) &&
              kMsfParts[2] == MCI_MSF_FRAME(0x070605));

// The records: same size, and each field at the same place with the same size.
#define TOLVANE_RECORD(ours, theirs)                                                            \
    static_assert(sizeof(mci::ours) == sizeof(theirs) && alignof(mci::ours) == alignof(theirs), \
                  #ours " differs in size from " #theirs);
#define TOLVANE_FIELD(ours, theirs, field)                                                                          \
    static_assert(                                                                                                  \
        offsetof(mci::ours, field) == offsetof(theirs, field) && sizeof(mci::ours::field) == sizeof(theirs::field), \
        #ours "::" #field " differs from " #theirs);

TOLVANE_RECORD(MCI_GENERIC_PARMS, MCI_GENERIC_PARMS)
TOLVANE_FIELD(MCI_GENERIC_PARMS, MCI_GENERIC_PARMS, dwCallback)

TOLVANE_RECORD(MCI_OPEN_PARMS, MCI_OPEN_PARMSA)
TOLVANE_FIELD(MCI_OPEN_PARMS, MCI_OPEN_PARMSA, dwCallback)
TOLVANE_FIELD(MCI_OPEN_PARMS, MCI_OPEN_PARMSA, wDeviceID)
TOLVANE_FIELD(MCI_OPEN_PARMS, MCI_OPEN_PARMSA, lpstrDeviceType)
TOLVANE_FIELD(MCI_OPEN_PARMS, MCI_OPEN_PARMSA, lpstrElementName)
TOLVANE_FIELD(MCI_OPEN_PARMS, MCI_OPEN_PARMSA, lpstrAlias)

TOLVANE_RECORD(MCI_PLAY_PARMS, MCI_PLAY_PARMS)
TOLVANE_FIELD(MCI_PLAY_PARMS, MCI_PLAY_PARMS, dwCallback)
TOLVANE_FIELD(MCI_PLAY_PARMS, MCI_PLAY_PARMS, dwFrom)
TOLVANE_FIELD(MCI_PLAY_PARMS, MCI_PLAY_PARMS, dwTo)

TOLVANE_RECORD(MCI_RECORD_PARMS, MCI_RECORD_PARMS)
TOLVANE_FIELD(MCI_RECORD_PARMS, MCI_RECORD_PARMS, dwCallback)
TOLVANE_FIELD(MCI_RECORD_PARMS, MCI_RECORD_PARMS, dwFrom)
TOLVANE_FIELD(MCI_RECORD_PARMS, MCI_RECORD_PARMS, dwTo)

TOLVANE_RECORD(MCI_SEEK_PARMS, MCI_SEEK_PARMS)
TOLVANE_FIELD(MCI_SEEK_PARMS, MCI_SEEK_PARMS, dwCallback)
TOLVANE_FIELD(MCI_SEEK_PARMS, MCI_SEEK_PARMS, dwTo)

TOLVANE_RECORD(MCI_STATUS_PARMS, MCI_STATUS_PARMS)
TOLVANE_FIELD(MCI_STATUS_PARMS, MCI_STATUS_PARMS, dwCallback)
TOLVANE_FIELD(MCI_STATUS_PARMS, MCI_STATUS_PARMS, dwReturn)
TOLVANE_FIELD(MCI_STATUS_PARMS, MCI_STATUS_PARMS, dwItem)
TOLVANE_FIELD(MCI_STATUS_PARMS, MCI_STATUS_PARMS, dwTrack)

TOLVANE_RECORD(MCI_SET_PARMS, MCI_SET_PARMS)
TOLVANE_FIELD(MCI_SET_PARMS, MCI_SET_PARMS, dwCallback)
TOLVANE_FIELD(MCI_SET_PARMS, MCI_SET_PARMS, dwTimeFormat)
TOLVANE_FIELD(MCI_SET_PARMS, MCI_SET_PARMS, dwAudio)

TOLVANE_RECORD(MCI_GETDEVCAPS_PARMS, MCI_GETDEVCAPS_PARMS)
TOLVANE_FIELD(MCI_GETDEVCAPS_PARMS, MCI_GETDEVCAPS_PARMS, dwCallback)
TOLVANE_FIELD(MCI_GETDEVCAPS_PARMS, MCI_GETDEVCAPS_PARMS, dwReturn)
TOLVANE_FIELD(MCI_GETDEVCAPS_PARMS, MCI_GETDEVCAPS_PARMS, dwItem)

TOLVANE_RECORD(MCI_DGV_STEP_PARMS, MCI_DGV_STEP_PARMS)
TOLVANE_FIELD(MCI_DGV_STEP_PARMS, MCI_DGV_STEP_PARMS, dwCallback)
TOLVANE_FIELD(MCI_DGV_STEP_PARMS, MCI_DGV_STEP_PARMS, dwFrames)

TOLVANE_RECORD(MCI_DGV_WINDOW_PARMS, MCI_DGV_WINDOW_PARMSA)
TOLVANE_FIELD(MCI_DGV_WINDOW_PARMS, MCI_DGV_WINDOW_PARMSA, dwCallback)
TOLVANE_FIELD(MCI_DGV_WINDOW_PARMS, MCI_DGV_WINDOW_PARMSA, hWnd)
TOLVANE_FIELD(MCI_DGV_WINDOW_PARMS, MCI_DGV_WINDOW_PARMSA, nCmdShow)
TOLVANE_FIELD(MCI_DGV_WINDOW_PARMS, MCI_DGV_WINDOW_PARMSA, lpstrText)

TOLVANE_RECORD(MCI_RECT, RECT)
TOLVANE_FIELD(MCI_RECT, RECT, left)
TOLVANE_FIELD(MCI_RECT, RECT, top)
TOLVANE_FIELD(MCI_RECT, RECT, right)
TOLVANE_FIELD(MCI_RECT, RECT, bottom)

TOLVANE_RECORD(MCI_DGV_RECT_PARMS, MCI_DGV_RECT_PARMS)
TOLVANE_FIELD(MCI_DGV_RECT_PARMS, MCI_DGV_RECT_PARMS, dwCallback)
TOLVANE_FIELD(MCI_DGV_RECT_PARMS, MCI_DGV_RECT_PARMS, rc)
