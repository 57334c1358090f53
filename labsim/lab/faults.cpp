#include "labsim/lab/faults.h"

#include <cmath>
#include <stdexcept>

namespace labsim::lab {

namespace {

int countOf(const json::Value &order)
{
    const json::Value *count = order.member("count");
    if (!count)
        return 1;
    if (!count->number() || *count->number() < 0 || *count->number() != std::floor(*count->number()))
        throw std::invalid_argument("\"count\" must be a whole number of at least 0");
    return static_cast<int>(*count->number());
}

const char *pageFaultName(Faults::PageFault fault)
{
    switch (fault) {
    case Faults::PageFault::Hang:
        return "hang-pages";
    case Faults::PageFault::Fail:
        return "fail-pages";
    case Faults::PageFault::Strip:
        return "strip-pages";
    default:
        return "none";
    }
}

} // namespace

void Faults::order(const json::Value &order)
{
    const json::Value *kind = order.member("fault");
    if (!kind || !kind->string())
        throw std::invalid_argument("an order needs \"fault\"");
    const std::string &name = *kind->string();
    if (name == "clear") {
        clear();
        return;
    }
    const int count = countOf(order);
    std::lock_guard lock(mutex_);
    if (name == "delay") {
        const json::Value *seconds = order.member("seconds");
        if (!seconds || !seconds->number() || *seconds->number() < 0)
            throw std::invalid_argument("\"delay\" needs \"seconds\"");
        delayCount_ = count;
        delay_ = std::chrono::milliseconds(std::llround(*seconds->number() * 1000.0));
    } else if (name == "fail") {
        const json::Value *number = order.member("number");
        const json::Value *text = order.member("text");
        if (!number || !number->number() || !text || !text->string())
            throw std::invalid_argument("\"fail\" needs \"number\" and \"text\"");
        failure_ = Message{};
        failure_.number = static_cast<std::int32_t>(*number->number());
        failure_.text = *text->string();
        if (const json::Value *severity = order.member("severity"); severity && severity->number())
            failure_.severity = static_cast<std::uint8_t>(*severity->number());
        failCount_ = count;
    } else if (name == "hang-pages" || name == "fail-pages" || name == "strip-pages") {
        pageFault_ = name == "hang-pages" ? PageFault::Hang : name == "fail-pages" ? PageFault::Fail : PageFault::Strip;
        pageCount_ = count;
        hang_ = std::chrono::milliseconds(600000);
        if (const json::Value *seconds = order.member("seconds"); seconds && seconds->number() && *seconds->number() >= 0)
            hang_ = std::chrono::milliseconds(std::llround(*seconds->number() * 1000.0));
    } else {
        throw std::invalid_argument("unknown fault \"" + name + "\"");
    }
}

void Faults::clear()
{
    {
        std::lock_guard lock(mutex_);
        delayCount_ = failCount_ = pageCount_ = 0;
        pageFault_ = PageFault::None;
        ++generation_;
    }
    released_.notify_all();
}

Faults::StatementFault Faults::nextStatement()
{
    std::lock_guard lock(mutex_);
    StatementFault fault;
    if (delayCount_ > 0) {
        --delayCount_;
        fault.delay = delay_;
    }
    if (failCount_ > 0) {
        --failCount_;
        fault.failure = failure_;
    }
    return fault;
}

Faults::PageFault Faults::nextPage()
{
    std::lock_guard lock(mutex_);
    if (pageCount_ <= 0)
        return PageFault::None;
    --pageCount_;
    return pageFault_;
}

void Faults::hang()
{
    std::unique_lock lock(mutex_);
    const std::uint64_t generation = generation_;
    released_.wait_for(lock, hang_, [&] { return generation_ != generation; });
}

std::string Faults::json() const
{
    std::lock_guard lock(mutex_);
    return "{\"delay\": {\"count\": " + std::to_string(delayCount_) +
           ", \"seconds\": " + std::to_string(static_cast<double>(delay_.count()) / 1000.0) +
           "}, \"fail\": {\"count\": " + std::to_string(failCount_) + ", \"number\": " + std::to_string(failure_.number) +
           ", \"text\": " + json::quote(failure_.text) + "}, \"pages\": {\"count\": " + std::to_string(pageCount_) +
           ", \"fault\": " + json::quote(pageFaultName(pageFault_)) + "}}";
}

} // namespace labsim::lab
