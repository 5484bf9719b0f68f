// A transport control on a form, talking to a scripted device.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "mci/media_player.h"
#include "tests/fakes/scripted_device.h"
#include "tests/fakes/virtual_platform.h"
#include "ui/application.h"
#include "ui/form.h"

namespace mcitest {

using namespace mci;
using fakes::MciRequest;

class PlayerTest : public ::testing::Test {
protected:
    fakes::VirtualLoop loop;
    fakes::ScriptedServices services;
    ui::Application app{loop, services};
    fakes::ScriptedDevice device{loop.queue()};  // outlives the form, which closes it
    ui::Form form{app, "MainForm"};
    TMediaPlayer* player = form.add<TMediaPlayer>("MediaPlayer", device);

    // Opens a device of the given kind (a file unless it is a disc) and forgets the
    // requests that took.
    void openDevice(TMPDeviceTypes type) {
        player->setDeviceType(type);
        player->setFileName(type == dtCDAudio ? "" : "alarm");
        player->open();
        device.clearRequests();
    }
    // The program's bar: six buttons, 169 x 30.
    void programLayout() {
        player->setVisibleButtons({btPlay, btPause, btStop, btNext, btPrev, btEject});
        player->setBounds(8, 8, 169, 30);
    }
    // A full click in the middle of a button.
    void clickButton(TMPBtnType b) {
        const ui::Point p{player->buttonLeft(b) + player->buttonWidth() / 2, 10};
        player->mouseDown(p);
        player->mouseUp(p);
    }
};

// The message of the device error that a call raises; empty when it raises none.
inline std::string raised(const std::function<void()>& call) {
    try {
        call();
    } catch (const EMCIDeviceError& e) {
        return e.what();
    }
    return "";
}

}  // namespace mcitest
