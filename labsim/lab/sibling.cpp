#include "labsim/lab/sibling.h"

#include "labsim/lab/schema.h"
#include "labsim/lab/turn.h"
#include "labsim/tsql/datetime.h"

namespace labsim::lab {

namespace {

std::string withoutTrailingBlanks(const std::string &text) { return text.substr(0, text.find_last_not_of(' ') + 1); }

} // namespace

Sibling::Sibling(const tsql::Executor &executor) : executor_(executor), thread_([this] { run(); }) {}

Sibling::~Sibling()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void Sibling::setMode(Mode mode)
{
    {
        std::lock_guard lock(mutex_);
        mode_ = mode;
        askNow_ = mode == Mode::Hold;
    }
    wake_.notify_all();
}

Sibling::Mode Sibling::mode() const
{
    std::lock_guard lock(mutex_);
    return mode_;
}

bool Sibling::ask(const std::string &suffix)
{
    const std::atomic<bool> never{false};
    const BatchResult read = executor_.run(
        "select * from sitecfg.dbo.settings (nolock) where parameter in ('Dispatch_CurrApp" + suffix +
            "', 'Dispatch_LastUpd" + suffix + "', 'Dispatch_Delay" + suffix + "')",
        never);
    if (read.statements.empty() || read.statements.front().failed)
        return false;
    std::string holder, lastUpdate, delay;
    for (const Row &row : read.statements.front().rows) {
        if (!row[0] || !row[1])
            continue;
        const std::string name = withoutTrailingBlanks(std::get<std::string>(*row[0]));
        const std::string value = withoutTrailingBlanks(std::get<std::string>(*row[1]));
        if (name == "Dispatch_CurrApp" + suffix)
            holder = value;
        else if (name == "Dispatch_LastUpd" + suffix)
            lastUpdate = value;
        else if (name == "Dispatch_Delay" + suffix)
            delay = value;
    }
    const DateTime now = tsql::localNow();
    if (holder != kAutoExport && !silentFor(lastUpdate, delay, now))
        return false;
    const std::string stamp = stampText(now);
    executor_.run("update sitecfg.dbo.settings set value = 'AUTO_EXPORT' where parameter = 'Dispatch_CurrApp" +
                      suffix + "' update sitecfg.dbo.settings set value = '" + stamp +
                      "' where parameter = 'Dispatch_LastPing" + suffix +
                      "' update sitecfg.dbo.settings set value = '" + stamp + "' where parameter = 'Dispatch_LastUpd" +
                      suffix + "' update sitecfg.dbo.settings set value = 'AutoExport Distribution' where parameter = "
                               "'Dispatch_Function" + suffix + "' ",
                  never);
    return true;
}

void Sibling::run()
{
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (mode_ == Mode::Hold) {
            askNow_ = false;
            lock.unlock();
            ask("_US");
            ask("_CA");
            lock.lock();
        }
        const auto woken = [this] { return stopping_ || askNow_; };
        if (mode_ == Mode::Hold)
            wake_.wait_for(lock, kInterval, woken);
        else
            wake_.wait(lock, woken);
    }
}

} // namespace labsim::lab
