#pragma once

#include "printing/browser_engine.h"

#include <QUrl>

#include <chrono>

class QWebEngineLoadingInfo;
class QWebEngineView;

namespace hc::printing {

// The browser engine on a Qt WebEngine view. The ready state follows the
// loadingChanged reports of the navigation it started, matched by address,
// so the end of an earlier page is never taken for the new one. Reading an
// element or making the PDF waits in the event loop for the page's answer,
// at most the time limit.
class WebEngineBrowser : public BrowserEngine {
    Q_OBJECT
public:
    WebEngineBrowser(QWebEngineView &view, std::chrono::milliseconds answerTimeLimit);

    void navigate(const QString &address) override;
    int readyState() const override { return readyState_; }
    QString elementValue(const QString &id) override;
    QByteArray pageAsPdf(const QPageLayout &layout) override;

private:
    void onLoadingChanged(const QWebEngineLoadingInfo &info);
    void setReadyState(int state);
    void requireCompletePage() const;

    QWebEngineView &view_;
    std::chrono::milliseconds answerTimeLimit_;
    QUrl target_;
    int readyState_ = kReadyUninitialized;
    bool loadFailed_ = false;
    QString failure_;
};

// The address as both sides write it once every escape is undone, so that
// the engine's own escaping of blanks and quotes does not hide a match.
QString comparableAddress(const QUrl &url);

} // namespace hc::printing
