#include "printing/web_engine_browser.h"

#include "db/failure.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QPointer>
#include <QTimer>
#include <QVariantMap>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>

#include <memory>

namespace hc::printing {

namespace {

// What an asynchronous answer of the page left behind. Shared with the
// callback, which may come after the wait for it has given up.
template <typename Answer>
struct PendingAnswer {
    bool arrived = false;
    Answer answer;
    QPointer<QEventLoop> waiting;
};

// Waits in the event loop until the answer arrived or the time limit passed.
template <typename Answer>
bool awaitAnswer(const std::shared_ptr<PendingAnswer<Answer>> &pending, std::chrono::milliseconds timeLimit)
{
    if (pending->arrived)
        return true;
    QEventLoop loop;
    pending->waiting = &loop;
    QTimer::singleShot(timeLimit, &loop, &QEventLoop::quit);
    loop.exec();
    pending->waiting = nullptr;
    return pending->arrived;
}

template <typename Answer>
void deliver(const std::shared_ptr<PendingAnswer<Answer>> &pending, Answer answer)
{
    pending->arrived = true;
    pending->answer = std::move(answer);
    if (pending->waiting)
        pending->waiting->quit();
}

QString javaScriptString(const QString &text)
{
    return QString::fromUtf8(QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact)).mid(1).chopped(1);
}

} // namespace

QString comparableAddress(const QUrl &url)
{
    return QUrl::fromPercentEncoding(url.toEncoded());
}

WebEngineBrowser::WebEngineBrowser(QWebEngineView &view, std::chrono::milliseconds answerTimeLimit)
    : view_(view), answerTimeLimit_(answerTimeLimit)
{
    connect(view_.page(), &QWebEnginePage::loadingChanged, this, &WebEngineBrowser::onLoadingChanged);
}

void WebEngineBrowser::navigate(const QString &address)
{
    target_ = QUrl(address, QUrl::TolerantMode);
    loadFailed_ = false;
    failure_.clear();
    setReadyState(kReadyLoading);
    view_.load(target_);
}

void WebEngineBrowser::onLoadingChanged(const QWebEngineLoadingInfo &info)
{
    if (readyState_ == kReadyComplete || comparableAddress(info.url()) != comparableAddress(target_))
        return;
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
        setReadyState(kReadyInteractive);
        return;
    case QWebEngineLoadingInfo::LoadSucceededStatus:
        loadFailed_ = info.isErrorPage();
        if (loadFailed_)
            failure_ = QStringLiteral("The page could not be loaded (error %1).").arg(info.errorCode());
        break;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
        loadFailed_ = true;
        failure_ = QStringLiteral("The page load was stopped.");
        break;
    case QWebEngineLoadingInfo::LoadFailedStatus:
        loadFailed_ = true;
        failure_ = QStringLiteral("The page could not be loaded: %1 (%2).").arg(info.errorString()).arg(info.errorCode());
        break;
    }
    setReadyState(kReadyComplete);
}

void WebEngineBrowser::setReadyState(int state)
{
    readyState_ = state;
    emit readyStateChanged(state);
}

void WebEngineBrowser::requireCompletePage() const
{
    if (readyState_ != kReadyComplete)
        throw Failure("The page is not complete.");
    if (loadFailed_)
        throw Failure(failure_.toStdString());
}

QString WebEngineBrowser::elementValue(const QString &id)
{
    requireCompletePage();
    // Members explicitly null: a missing element must not look like a page
    // that did not answer (null, undefined and exceptions all arrive as an
    // invalid value).
    const QString script = QStringLiteral("(() => { const e = document.getElementById(%1);"
                                          " if (e === null) return { found: false, value: null };"
                                          " const v = e.value;"
                                          " return { found: true, value: v === undefined || v === null ? null : String(v) };"
                                          " })()")
                               .arg(javaScriptString(id));
    auto pending = std::make_shared<PendingAnswer<QVariant>>();
    view_.page()->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                                [pending](const QVariant &answer) { deliver(pending, answer); });
    if (!awaitAnswer(pending, answerTimeLimit_))
        throw Failure(QStringLiteral("The page did not answer for element %1 in time.").arg(id).toStdString());
    const QVariantMap answer = pending->answer.toMap();
    if (answer.isEmpty())
        throw Failure(QStringLiteral("The page could not be read for element %1.").arg(id).toStdString());
    if (!answer.value(QStringLiteral("found")).toBool())
        throw Failure(QStringLiteral("The page has no element %1.").arg(id).toStdString());
    const QVariant value = answer.value(QStringLiteral("value"));
    if (value.isNull() || !value.isValid())
        throw Failure(QStringLiteral("The element %1 has no value.").arg(id).toStdString());
    return value.toString();
}

QByteArray WebEngineBrowser::pageAsPdf(const QPageLayout &layout)
{
    requireCompletePage();
    auto pending = std::make_shared<PendingAnswer<QByteArray>>();
    view_.page()->printToPdf([pending](const QByteArray &pdf) { deliver(pending, pdf); }, layout);
    if (!awaitAnswer(pending, answerTimeLimit_))
        throw Failure("The page was not made into a document in time.");
    if (pending->answer.isEmpty())
        throw Failure("The page could not be made into a document.");
    return pending->answer;
}

} // namespace hc::printing
