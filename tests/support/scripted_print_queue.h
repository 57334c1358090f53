#pragma once

#include "printing/print_queue.h"

#include <QStringList>

#include <deque>
#include <memory>
#include <vector>

namespace hc::test {

// Shared between a test and its scripted print queue.
struct PrintScript {
    // How the coming prints end, in order; once used up, every print is
    // printed.
    std::deque<printing::PrintOutcome> outcomes;

    std::vector<QByteArray> documents; // every document submitted, in order
    QStringList titles;
    // Shared with the scripted browser by the window fixture.
    std::shared_ptr<QStringList> trace = std::make_shared<QStringList>();
};

// Each print waits a turn of the event loop before it ends, as a real job
// would.
class ScriptedPrintQueue : public printing::PrintQueue {
public:
    explicit ScriptedPrintQueue(std::shared_ptr<PrintScript> script);

    printing::PrintResult print(const QByteArray &pdf, const QString &title,
                                const std::function<bool()> &abandon) override;

private:
    std::shared_ptr<PrintScript> script_;
    int nextJobId_ = 1;
};

} // namespace hc::test
