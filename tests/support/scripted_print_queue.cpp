#include "support/scripted_print_queue.h"

#include <QEventLoop>
#include <QTimer>

namespace hc::test {

ScriptedPrintQueue::ScriptedPrintQueue(std::shared_ptr<PrintScript> script) : script_(std::move(script)) {}

printing::PrintResult ScriptedPrintQueue::print(const QByteArray &pdf, const QString &title,
                                                const std::function<bool()> &abandon)
{
    script_->documents.push_back(pdf);
    script_->titles.append(title);
    script_->trace->append(QStringLiteral("print ") + title);

    QEventLoop loop;
    QTimer::singleShot(0, &loop, &QEventLoop::quit);
    loop.exec();

    printing::PrintResult result;
    result.jobId = nextJobId_++;
    result.outcome = printing::PrintOutcome::Printed;
    if (!script_->outcomes.empty()) {
        result.outcome = script_->outcomes.front();
        script_->outcomes.pop_front();
    }
    if (abandon && abandon())
        result.outcome = printing::PrintOutcome::Abandoned;
    if (!result.printed())
        result.detail = printing::describe(result.outcome);
    script_->trace->append(result.printed() ? QStringLiteral("printed") : QStringLiteral("not printed"));
    return result;
}

} // namespace hc::test
