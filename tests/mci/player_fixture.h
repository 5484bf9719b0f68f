// A transport control on a form, talking to a scripted device.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "mci/media_player.h"
#include "tests/fakes/scripted_device.h"
#include "tests/fakes/virtual_platform.h"
#include "ui/application.h"
#include "ui/form.h"

namespace mcitest {

using namespace mci;

class PlayerTest : public ::testing::Test {
protected:
    fakes::VirtualLoop loop;
    fakes::ScriptedServices services;
    ui::Application app{loop, services};
    fakes::ScriptedDevice device{loop.queue()};  // outlives the form, which closes it
    ui::Form form{app, "MainForm"};
    TMediaPlayer* player = form.add<TMediaPlayer>("MediaPlayer", device);

    // Opens a device of the given kind and forgets the requests that took.
    void openDevice(TMPDeviceTypes type, const std::string& file = "") {
        player->setDeviceType(type);
        player->setFileName(file);
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
    // The requests that change the device (status and capability queries left out).
    std::vector<fakes::MciRequest> commands() const { return device.commands(); }
    mci::DWORD_PTR window() { return player->handle(); }
};

}  // namespace mcitest
