#pragma once

#include <QByteArray>
#include <QObject>
#include <QPageLayout>
#include <QString>

namespace hc::printing {

// The ready states of a navigation, as the report load reads them.
enum ReadyState : int {
    kReadyUninitialized = 0, // nothing navigated yet
    kReadyLoading = 1,       // navigation asked for, no answer yet
    kReadyLoaded = 2,
    kReadyInteractive = 3,   // the server answered, the document is arriving
    kReadyComplete = 4,      // the navigation ended: the page can be read
};

// The embedded browser as the report load drives it: one navigation at a
// time, its ready state, element values by id, and the loaded page as a
// document to print. Qt WebEngine implements it; a scripted engine serves
// unit tests.
class BrowserEngine : public QObject {
    Q_OBJECT
public:
    explicit BrowserEngine(QObject *parent = nullptr);
    ~BrowserEngine() override;

    // Starts loading the address and returns at once. From then on the ready
    // state is that of this navigation; whatever an earlier one still does no
    // longer counts. Start the next navigation only once this one is complete:
    // a navigation started on top of another makes the first one vanish.
    virtual void navigate(const QString &address) = 0;
    virtual int readyState() const = 0;

    // The value of the element with this id in the complete page. Raises
    // hc::Failure when the page has no such element (or the element no
    // value), the navigation failed or is not complete, or the page did not
    // answer in time.
    virtual QString elementValue(const QString &id) = 0;

    // The complete page as a vector PDF in the page layout. Raises
    // hc::Failure when no document could be made in time.
    virtual QByteArray pageAsPdf(const QPageLayout &layout) = 0;

    // The layout of every later print: A4 portrait with the default margins
    // until the page setup chose another.
    const QPageLayout &pageLayout() const { return pageLayout_; }
    void setPageLayout(const QPageLayout &layout) { pageLayout_ = layout; }

signals:
    void readyStateChanged(int state);

private:
    QPageLayout pageLayout_;
};

// A4 portrait with the margins the platform's printer gives by default.
QPageLayout defaultPageLayout();

} // namespace hc::printing
