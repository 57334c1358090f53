#pragma once

#include "printing/browser_engine.h"

#include <QPageLayout>
#include <QStringList>

#include <deque>
#include <map>
#include <memory>
#include <vector>

namespace hc::test {

// A page the scripted browser shows for one navigation.
struct ScriptedPage {
    std::map<QString, QString> elements; // by id; an id not here fails the read
    bool completes = true;               // false: the navigation never ends
    // When the page turns interactive and complete after its navigation.
    int interactiveAfterMs = 0;
    int completeAfterMs = 0;

    // A report page announcing its kind and batch.
    static ScriptedPage report(const QString &printType, const QString &batchId);
};

// Shared between a test and its scripted browser.
struct BrowserScript {
    // The pages of the coming navigations, in order; once they are used up
    // every navigation gets `unscripted`.
    std::deque<ScriptedPage> pages;
    ScriptedPage unscripted;
    // Making a document fails while this is set.
    bool pdfFails = false;

    QStringList navigated;                 // every address navigated, in order
    std::vector<QPageLayout> pdfLayouts;    // the layout of every document made
    // What the browser and the print queue did, in order ("navigate <address>",
    // "complete <address>", "print <title>", "printed"...), when shared.
    std::shared_ptr<QStringList> trace = std::make_shared<QStringList>();
};

// Completes each navigation from the event loop, as a real engine would.
// A document made of the page reads "%PDF scripted <address>".
class ScriptedBrowser : public printing::BrowserEngine {
    Q_OBJECT
public:
    explicit ScriptedBrowser(std::shared_ptr<BrowserScript> script);

    void navigate(const QString &address) override;
    int readyState() const override { return readyState_; }
    QString elementValue(const QString &id) override;
    QByteArray pageAsPdf(const QPageLayout &layout) override;

private:
    void setReadyState(int state);

    std::shared_ptr<BrowserScript> script_;
    int readyState_ = printing::kReadyUninitialized;
    quint64 navigation_ = 0;
    QString address_;
    ScriptedPage page_;
};

} // namespace hc::test
