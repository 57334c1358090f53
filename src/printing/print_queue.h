#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace hc::printing {

// How a print ended. Only Printed means the document came out.
enum class PrintOutcome {
    Printed,        // the job completed
    NoDestination,  // there is no default destination
    NotAccepted,    // the destination refused the job or the document
    Cancelled,      // cancelled by someone else
    Aborted,        // the destination gave up on it
    TimedOut,       // not completed in time; cancelled, so it cannot come out later
    Unknown,        // the scheduler no longer knows the job
    Abandoned,      // the wait was given up; cancelled
};

struct PrintResult {
    PrintOutcome outcome = PrintOutcome::NotAccepted;
    int jobId = 0;     // 0 when no job was created
    QString detail;    // why it did not print, for the operator's diagnostics
    bool printed() const { return outcome == PrintOutcome::Printed; }
};

QString describe(PrintOutcome outcome);

// The current printer: a document submitted to the default destination and
// followed until its job completed, was cancelled or aborted.
class PrintQueue {
public:
    virtual ~PrintQueue() = default;

    // Prints the PDF and waits, in the event loop, until its job ended or
    // ran out of time. `abandon` is asked while waiting; once it answers
    // true the job is cancelled and the wait ends.
    virtual PrintResult print(const QByteArray &pdf, const QString &title, const std::function<bool()> &abandon) = 0;
};

} // namespace hc::printing
