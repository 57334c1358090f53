#pragma once

#include "labsim/tsql/executor.h"

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace labsim::lab {

// Plays the AUTO_EXPORT service on the shared settings rows of both
// laboratories: while holding, it asks for the turn every few seconds, keeps
// it alive while it has it and takes it over by the turn rule; silent, it
// writes nothing.
class Sibling {
public:
    enum class Mode { Silent, Hold };

    explicit Sibling(const tsql::Executor &executor);
    ~Sibling();
    Sibling(const Sibling &) = delete;
    Sibling &operator=(const Sibling &) = delete;

    void setMode(Mode mode); // Hold asks at once
    Mode mode() const;

    // One question for the laboratory suffix; true when the sibling holds the
    // turn afterwards.
    bool ask(const std::string &suffix);

    static constexpr std::chrono::seconds kInterval{5};

private:
    void run();

    const tsql::Executor &executor_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    Mode mode_ = Mode::Silent;
    bool askNow_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace labsim::lab
