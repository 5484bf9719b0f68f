// Starting the program with the user's desktop session, minimised, while an alarm is
// armed: an autostart desktop entry on Linux, the per-user Run key on Windows.
#pragma once

#include <memory>
#include <string>

#include "sys/alarm_services.h"

namespace session {

struct SessionStartOptions {
    // The program the session starts; empty: the running executable.
    std::string executable;
    // Linux only: the user's configuration folder, holding autostart/; empty:
    // $XDG_CONFIG_HOME where it is an absolute path, else ~/.config.
    std::string configHome;
};

// The argument the session gives the program, so that it starts minimised.
inline constexpr const char* minimisedArgument = "--minimized";

// Calls are quick and synchronous (a small file, a registry value); failures come back
// as text, never as exceptions.
std::unique_ptr<sys::SessionStart> createSessionStart(SessionStartOptions options = {});

}  // namespace session
