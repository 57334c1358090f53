#include "support/scripted_browser.h"

#include "db/failure.h"

#include <QTimer>

#include <algorithm>

namespace hc::test {

ScriptedPage ScriptedPage::report(const QString &printType, const QString &batchId)
{
    return {{{QStringLiteral("PrintType"), printType}, {QStringLiteral("BATCH_ID"), batchId}}, true};
}

ScriptedBrowser::ScriptedBrowser(std::shared_ptr<BrowserScript> script) : script_(std::move(script)) {}

void ScriptedBrowser::navigate(const QString &address)
{
    script_->navigated.append(address);
    script_->trace->append(QStringLiteral("navigate ") + address);
    if (script_->pages.empty()) {
        page_ = script_->unscripted;
    } else {
        page_ = script_->pages.front();
        script_->pages.pop_front();
    }
    address_ = address;
    const quint64 navigation = ++navigation_;
    setReadyState(printing::kReadyLoading);
    if (!page_.completes)
        return;
    QTimer::singleShot(page_.interactiveAfterMs, this, [this, navigation] {
        if (navigation == navigation_)
            setReadyState(printing::kReadyInteractive);
    });
    QTimer::singleShot(std::max(page_.interactiveAfterMs, page_.completeAfterMs), this, [this, navigation] {
        if (navigation != navigation_)
            return;
        script_->trace->append(QStringLiteral("complete ") + address_);
        setReadyState(printing::kReadyComplete);
    });
}

void ScriptedBrowser::setReadyState(int state)
{
    readyState_ = state;
    emit readyStateChanged(state);
}

QString ScriptedBrowser::elementValue(const QString &id)
{
    if (readyState_ != printing::kReadyComplete)
        throw Failure("The page is not complete.");
    const auto element = page_.elements.find(id);
    if (element == page_.elements.end())
        throw Failure(QStringLiteral("The page has no element %1.").arg(id).toStdString());
    return element->second;
}

QByteArray ScriptedBrowser::pageAsPdf(const QPageLayout &layout)
{
    if (readyState_ != printing::kReadyComplete)
        throw Failure("The page is not complete.");
    if (script_->pdfFails)
        throw Failure("The page could not be made into a document.");
    script_->pdfLayouts.push_back(layout);
    return "%PDF scripted " + address_.toUtf8();
}

} // namespace hc::test
