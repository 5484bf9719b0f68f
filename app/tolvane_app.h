// The whole program behind main(): the Qt platform, the media devices, the settings
// store and the two windows, from start-up to shutdown.
#pragma once

#include <functional>

namespace app {

struct StartupHooks {
    // Runs once the windows exist, just before the message loop starts.
    std::function<void()> windowsCreated;
};

// Returns the process exit code (0).
int runTolvane(int& argc, char** argv, const StartupHooks& hooks = {});

}  // namespace app
