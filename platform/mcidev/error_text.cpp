#include "platform/mcidev/error_text.h"

namespace mcidev {

using namespace mci;

const char* errorText(MCIERROR code) {
    switch (code) {
    case 0: return "The command was carried out";
    case MCIERR_INVALID_DEVICE_ID: return "There is no open media device with this identifier";
    case MCIERR_UNRECOGNIZED_COMMAND: return "The media device does not know this command";
    case MCIERR_HARDWARE: return "The media device stopped working while carrying out the command";
    case MCIERR_INVALID_DEVICE_NAME:
        return "Unknown media device type. The types available are WaveAudio, Sequencer and CDAudio";
    case MCIERR_OUT_OF_MEMORY: return "There is not enough memory for the media device";
    case MCIERR_MISSING_PARAMETER: return "The command is missing a parameter it needs";
    case MCIERR_UNSUPPORTED_FUNCTION: return "This media device cannot do what the command asks";
    case MCIERR_FILE_NOT_FOUND: return "The media file was not found";
    case MCIERR_DEVICE_NOT_READY: return "The CD device is not ready: there is no readable disc in the drive";
    case MCIERR_INTERNAL: return "The media device ran into an internal fault";
    case MCIERR_EXTENSION_NOT_FOUND:
        return "The file name does not tell which media device plays it (use .wav, .mid, .midi or .rmi)";
    case MCIERR_OUTOFRANGE: return "The position lies outside the media";
    case MCIERR_FLAGS_NOT_COMPATIBLE: return "The command carries options that cannot be used together";
    case MCIERR_MUST_USE_SHAREABLE: return "The CD device is already in use; open it as shareable to use it as well";
    case MCIERR_MISSING_DEVICE_NAME: return "No media device type and no file name were given";
    case MCIERR_BAD_TIME_FORMAT: return "This media device does not support that time format";
    case MCIERR_INVALID_FILE: return "The file is empty, damaged or not in a format this media device plays";
    case MCIERR_NULL_PARAMETER_BLOCK: return "The command was sent without its parameter record";
    case MCIERR_NONAPPLICABLE_FUNCTION: return "The command does not apply while the device is stopped";
    case MCIERR_FILENAME_REQUIRED: return "This media device needs the name of a file to play";
    case MCIERR_DEVICE_NOT_INSTALLED: return "No CD drive was found on this computer";
    case MCIERR_WAVE_OUTPUTSUNSUITABLE: return "The audio output cannot play sound in this format";
    case MCIERR_SEQ_PORT_MISCERROR: return "The MIDI synthesizer could not be started";
    case MCIERR_SEQ_NOMIDIPRESENT: return "No General MIDI sound font is installed, so MIDI files cannot be played";
    case MCIERR_FILE_READ: return "The media file could not be read";
    case MCIERR_NO_AUDIO_OUTPUT: return "No audio output device is available (no sound card or sound server was found)";
    case MCIERR_SOUND_FONT_UNUSABLE: return "The sound font could not be loaded, so MIDI files cannot be played";
    case MCIERR_SYNTH_LIBRARY_MISSING:
        return "The MIDI synthesizer library could not be loaded, so MIDI files cannot be played";
    case MCIERR_DISC_IMAGE_UNUSABLE: return "The disc image cannot be read or is damaged";
    case MCIERR_AUDIO_OUTPUT_LOST:
        return "The audio output stopped taking sound during the play (its device or sound server went away)";
    default: return nullptr;
    }
}

}  // namespace mcidev
