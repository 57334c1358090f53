#pragma once

#include "printing/print_queue.h"

#include <chrono>

namespace hc::printing {

// Prints on the default CUPS destination: the PDF is submitted from memory
// through libcups, which gives the job id, and the job's state is asked for
// (soon after the submission, then every poll interval) until it ended. A job not completed within the time
// limit is cancelled.
class CupsPrintQueue : public PrintQueue {
public:
    explicit CupsPrintQueue(std::chrono::milliseconds timeLimit,
                            std::chrono::milliseconds pollInterval = std::chrono::milliseconds(200));

    PrintResult print(const QByteArray &pdf, const QString &title, const std::function<bool()> &abandon) override;

private:
    std::chrono::milliseconds timeLimit_;
    std::chrono::milliseconds pollInterval_;
};

} // namespace hc::printing
