// The disc in the computer's CD drive, read as digital audio.
#pragma once

#include <memory>
#include <string>

#include "platform/mcidev/cd/disc.h"

namespace mcidev::cd {

class DriveDisc final : public Disc {
public:
    // The system's default CD drive. Without one the state is NoDrive.
    DriveDisc();
    // A given device node, e.g. "/dev/sr1".
    explicit DriveDisc(std::string device);
    ~DriveDisc() override;

    DriveDisc(const DriveDisc&) = delete;
    DriveDisc& operator=(const DriveDisc&) = delete;

    DiscState state() const override;
    std::string name() const override;
    Toc toc() const override;
    // Cheap while the drive reports no media change; re-reads the table of contents
    // after a change, after a failed read and while there is no disc. With no drive,
    // looks for one again (a drive plugged in later).
    bool refresh() override;
    bool readAudio(std::int32_t lba, int sectors, std::uint8_t* buffer) override;
    bool canEject() const override;
    bool eject() override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace mcidev::cd
