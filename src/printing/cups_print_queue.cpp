#include "printing/cups_print_queue.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cups/cups.h>

#include <algorithm>
#include <memory>
#include <optional>

namespace hc::printing {

namespace {

struct DestFree {
    void operator()(cups_dest_t *dest) const { cupsFreeDests(1, dest); }
};
struct DestInfoFree {
    void operator()(cups_dinfo_t *info) const { cupsFreeDestInfo(info); }
};
struct HttpClose {
    void operator()(http_t *http) const { httpClose(http); }
};
struct IppDelete {
    void operator()(ipp_t *ipp) const { ippDelete(ipp); }
};

using Dest = std::unique_ptr<cups_dest_t, DestFree>;
using DestInfo = std::unique_ptr<cups_dinfo_t, DestInfoFree>;
using Http = std::unique_ptr<http_t, HttpClose>;
using Ipp = std::unique_ptr<ipp_t, IppDelete>;

bool succeeded(ipp_status_t status)
{
    return status <= IPP_STATUS_OK_EVENTS_COMPLETE;
}

QString lastError()
{
    return QString::fromUtf8(cupsLastErrorString());
}

// What the scheduler says of a job: its job-state, or nothing when it could
// not be asked this time; notFound once the job is no longer known.
struct JobState {
    std::optional<int> state;
    bool notFound = false;
};

JobState askJobState(http_t *http, int jobId)
{
    ipp_t *request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    const QByteArray jobUri = "ipp://localhost/jobs/" + QByteArray::number(jobId);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, jobUri.constData());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "job-state");
    const Ipp response(cupsDoRequest(http, request, "/"));
    JobState answer;
    if (!response) {
        answer.notFound = cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND;
        return answer;
    }
    if (ippGetStatusCode(response.get()) == IPP_STATUS_ERROR_NOT_FOUND) {
        answer.notFound = true;
        return answer;
    }
    if (ipp_attribute_t *attribute = ippFindAttribute(response.get(), "job-state", IPP_TAG_ENUM))
        answer.state = ippGetInteger(attribute, 0);
    return answer;
}

} // namespace

QString describe(PrintOutcome outcome)
{
    switch (outcome) {
    case PrintOutcome::Printed:
        return QStringLiteral("printed");
    case PrintOutcome::NoDestination:
        return QStringLiteral("no default printer");
    case PrintOutcome::NotAccepted:
        return QStringLiteral("not accepted by the printer");
    case PrintOutcome::Cancelled:
        return QStringLiteral("cancelled");
    case PrintOutcome::Aborted:
        return QStringLiteral("aborted by the printer");
    case PrintOutcome::TimedOut:
        return QStringLiteral("not printed in time, cancelled");
    case PrintOutcome::Unknown:
        return QStringLiteral("no longer known to the printer");
    case PrintOutcome::Abandoned:
        return QStringLiteral("given up, cancelled");
    }
    return {};
}

CupsPrintQueue::CupsPrintQueue(std::chrono::milliseconds timeLimit, std::chrono::milliseconds pollInterval)
    : timeLimit_(timeLimit), pollInterval_(pollInterval)
{
}

PrintResult CupsPrintQueue::print(const QByteArray &pdf, const QString &title, const std::function<bool()> &abandon)
{
    PrintResult result;
    const Dest dest(cupsGetNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr));
    if (!dest) {
        result.outcome = PrintOutcome::NoDestination;
        result.detail = lastError();
        return result;
    }
    const Http http(cupsConnectDest(dest.get(), CUPS_DEST_FLAGS_NONE, 30000, nullptr, nullptr, 0, nullptr, nullptr));
    if (!http) {
        result.detail = lastError();
        return result;
    }
    const DestInfo info(cupsCopyDestInfo(http.get(), dest.get()));
    const QByteArray name = title.toUtf8();
    if (!succeeded(cupsCreateDestJob(http.get(), dest.get(), info.get(), &result.jobId, name.constData(), 0, nullptr))) {
        result.detail = lastError();
        return result;
    }

    const auto cancel = [&] { cupsCancelDestJob(http.get(), dest.get(), result.jobId); };

    if (cupsStartDestDocument(http.get(), dest.get(), info.get(), result.jobId, name.constData(), CUPS_FORMAT_PDF, 0,
                              nullptr, 1)
            != HTTP_STATUS_CONTINUE
        || cupsWriteRequestData(http.get(), pdf.constData(), std::size_t(pdf.size())) != HTTP_STATUS_CONTINUE
        || !succeeded(cupsFinishDestDocument(http.get(), dest.get(), info.get()))) {
        result.detail = lastError();
        cancel();
        return result;
    }

    QElapsedTimer sinceSubmit;
    sinceSubmit.start();
    QEventLoop loop;
    QTimer poll;
    // A job on a local queue ends within tens of milliseconds: ask soon,
    // then less and less often.
    auto interval = std::min(std::chrono::milliseconds(20), pollInterval_);
    poll.setInterval(interval);
    std::optional<PrintOutcome> ended;
    const auto finish = [&](PrintOutcome outcome) {
        ended = outcome;
        poll.stop();
        loop.quit();
    };
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (ended)
            return;
        if (abandon && abandon()) {
            cancel();
            finish(PrintOutcome::Abandoned);
            return;
        }
        const JobState job = askJobState(http.get(), result.jobId);
        if (job.notFound) {
            finish(PrintOutcome::Unknown);
        } else if (job.state == IPP_JSTATE_COMPLETED) {
            finish(PrintOutcome::Printed);
        } else if (job.state == IPP_JSTATE_CANCELED) {
            finish(PrintOutcome::Cancelled);
        } else if (job.state == IPP_JSTATE_ABORTED) {
            finish(PrintOutcome::Aborted);
        } else if (std::chrono::milliseconds(sinceSubmit.elapsed()) >= timeLimit_) {
            cancel();
            finish(PrintOutcome::TimedOut);
        } else if (interval < pollInterval_) {
            interval = std::min(interval * 2, pollInterval_);
            poll.setInterval(interval);
        }
    });
    poll.start();
    loop.exec();
    if (!ended) {
        // The event loops were told to quit: the program is ending.
        cancel();
        ended = PrintOutcome::Abandoned;
    }
    result.outcome = *ended;
    if (!result.printed())
        result.detail = describe(result.outcome);
    return result;
}

} // namespace hc::printing
