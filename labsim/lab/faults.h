#pragma once

#include "labsim/engine.h"
#include "labsim/lab/json.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>

namespace labsim::lab {

// Fault orders for the next statement batches and pages. Each order counts
// down as batches or pages consume it.
class Faults {
public:
    struct StatementFault {
        std::chrono::milliseconds delay{0};
        std::optional<Message> failure;
    };
    enum class PageFault { None, Hang, Fail, Strip };

    // Takes one order: {"fault": "delay", "count": N, "seconds": S},
    // {"fault": "fail", "count": N, "number": E, "text": "...", "severity": 16},
    // {"fault": "hang-pages" | "fail-pages" | "strip-pages", "count": N} (a hang
    // lasts "seconds", 600 unless given),
    // {"fault": "clear"}. "drop" is the laboratory's. Raises
    // std::invalid_argument for an order it does not know.
    void order(const json::Value &order);
    void clear(); // also releases hanging pages

    StatementFault nextStatement();
    PageFault nextPage();

    // Holds a hanging page until its time passed or the faults were cleared.
    void hang();

    std::string json() const; // the orders still pending

private:
    mutable std::mutex mutex_;
    std::condition_variable released_;
    std::uint64_t generation_ = 0; // counts the clears, which release hangs

    int delayCount_ = 0;
    std::chrono::milliseconds delay_{0};
    int failCount_ = 0;
    Message failure_;
    int pageCount_ = 0;
    PageFault pageFault_ = PageFault::None;
    std::chrono::milliseconds hang_{600000};
};

} // namespace labsim::lab
