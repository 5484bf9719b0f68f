// One running program per user and session: a later start hands over to the running
// one (which shows its main window) and ends.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace instance {

class SingleInstance {
public:
    // Instances that share `key` are one program; see forThisUser().
    explicit SingleInstance(std::string key);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when no other instance runs: this one answers later starts from now on and
    // runs onShow (from the message loop) whenever one asks. False when another one
    // runs and has been asked to show itself. Where the guard cannot be made at all,
    // this one runs: two alarm clocks are better than none.
    bool claim();
    std::function<void()> onShow;

    // The key of this user: named after the user's security identifier (or name).
    static std::string userKey();

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace instance
