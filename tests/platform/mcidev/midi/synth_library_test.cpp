// A machine without a usable synthesizer library: the sequencer says so when opened, and
// nothing is called through a function that was not found. Each process opens the
// library once, so this runs in a program of its own: by default the file does not
// exist; TOLVANE_TEST_SYNTH_LIBRARY names a library that lacks the functions instead.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "platform/mcidev/audio_output.h"
#include "platform/mcidev/devices.h"
#include "platform/mcidev/error_text.h"
#include "platform/mcidev/midi/sound_font.h"
#include "platform/mcidev/midi/synth_library.h"
#include "tests/platform/mcidev/midi/smf_writer.h"
#include "tests/support/temp_folder.h"

using namespace midi_test;

TEST(NoSynthLibrary, SequencerOpenFailsWithItsOwnError) {
    const char* file = std::getenv("TOLVANE_TEST_SYNTH_LIBRARY");
    mcidev::midi::detail::setSynthLibraryFile(file ? file : "libtolvane-no-such-synth.so.3");
    mcitest::TempFolder folder;
    const auto path = folder / "tune.mid";
    const Bytes bytes = smf(0, 480, {Track().noteOn(0, 0, 60).noteOff(480, 0, 60).end(0)});
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());

    mcidev::midi::SoundFontCache fonts;
    const auto output = mcidev::makeNoOutput();
    for (int attempt = 0; attempt < 2; ++attempt) {  // the second finds the outcome of the first
        std::unique_ptr<mcidev::MediaDevice> device;
        EXPECT_EQ(mcidev::openSequencerDevice(path.string(), fonts, *output, {}, device),
                  mcidev::MCIERR_SYNTH_LIBRARY_MISSING);
        EXPECT_FALSE(device);
    }
    EXPECT_EQ(mcidev::midi::synthLibrary(), nullptr);
    EXPECT_NE(std::string(mcidev::errorText(mcidev::MCIERR_SYNTH_LIBRARY_MISSING)).find("synthesizer library"),
              std::string::npos);
}
