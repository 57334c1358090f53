#include "app/form_hardcopy.h"

#include "app/prompts.h"
#include "db/failure.h"
#include "printing/browser_engine.h"
#include "printing/print_queue.h"
#include "printing/report_load.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QTimer>

#include <limits>

namespace hc::app {

namespace {

using printing::BrowserEngine;

// How a wait for a page ended. The window's end is 0, which is also what an
// event loop returns when the program's end told every loop to quit.
enum PageWait : int { kWindowClosed = 0, kPageComplete = 1, kPageTimedOut = 2 };

BrowserEngine &browserOf(Form_HardCopy &window)
{
    if (!window.browser())
        throw Failure("There is no browser to load report pages.");
    return *window.browser();
}

// A step after the first complete page: its failure is skipped and the load
// goes on with the next step.
template <typename Step>
void skippingFailure(Step &&step)
{
    try {
        step();
    } catch (const std::exception &failure) {
        qWarning("Report load: a step was skipped: %s", failure.what());
    }
}

// Sleeps in the event loop until the navigation is complete, the page time
// limit passed or the window closed. The ready-state bar is written on the
// whole seconds since the load start that are multiples of 5.
int waitForPage(Form_HardCopy &window, BrowserEngine &engine, const QElapsedTimer &sinceLoadStart)
{
    const auto showReadyState = [&] {
        if (sinceLoadStart.elapsed() / 1000 % 5 == 0)
            window.pb_ReadyStatus->setValue(engine.readyState());
    };
    if (window.unloaded())
        return kWindowClosed;
    showReadyState();
    if (engine.readyState() == printing::kReadyComplete)
        return kPageComplete;

    QEventLoop loop;
    QObject::connect(&engine, &BrowserEngine::readyStateChanged, &loop, [&](int state) {
        showReadyState();
        if (state == printing::kReadyComplete)
            loop.exit(kPageComplete);
    });
    QObject::connect(&window, &Form_HardCopy::windowClosed, &loop, [&] { loop.exit(kWindowClosed); });

    QTimer nextFifthSecond;
    nextFifthSecond.setSingleShot(true);
    nextFifthSecond.setTimerType(Qt::PreciseTimer);
    const auto scheduleBar = [&] { nextFifthSecond.start(int(5000 - sinceLoadStart.elapsed() % 5000)); };
    QObject::connect(&nextFifthSecond, &QTimer::timeout, &loop, [&] {
        showReadyState();
        scheduleBar();
    });
    scheduleBar();

    QTimer timeLimit;
    timeLimit.setSingleShot(true);
    timeLimit.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timeLimit, &QTimer::timeout, &loop, [&] { loop.exit(kPageTimedOut); });
    timeLimit.start(std::chrono::seconds(window.platform().configuration.pageTimeoutSeconds));

    const int ended = loop.exec();
    return window.unloaded() ? kWindowClosed : ended;
}

// Sleeps in the event loop for the pause, or until the window closed.
void pause(Form_HardCopy &window, int seconds)
{
    if (seconds <= 0 || window.unloaded())
        return;
    QEventLoop loop;
    QObject::connect(&window, &Form_HardCopy::windowClosed, &loop, &QEventLoop::quit);
    QTimer::singleShot(std::chrono::seconds(seconds), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

bool printReportsChecked(const Form_HardCopy &window)
{
    return window.chk_Print->checkState() == Qt::Checked;
}

void failLoad(Form_HardCopy &window)
{
    window.platform().prompts->showMessage(&window, printing::failedLoadMessage());
    window.close();
}

} // namespace

void Form_HardCopy::Open_Address(const QString &address)
{
    cboAddress->addItem(address);
    cboAddress->setCurrentText(address);
    cmdGo_Click();
}

void Form_HardCopy::cmdGo_Click()
{
    const QString address = cboAddress->currentText();
    if (!address.isEmpty())
        Load_ReportPage(address);
}

void Form_HardCopy::Load_ReportPage(const QString &address)
{
    BrowserEngine &engine = browserOf(*this);
    qint16 passes = 0;
    engine.navigate(address);
    QElapsedTimer sinceLoadStart;
    sinceLoadStart.start();
    QString printType;
    sBatchId.clear();
    bBatchDeleted = false;
    bBatchPrinted = false;
    lastPagePrint = PagePrint::NotAsked;
    // Once a page of the batch failed to print, the batch stays queued and
    // will be printed whole later: its other pages are not printed now.
    bool printFailed = false;
    const auto printPage = [&] {
        if (printFailed)
            return;
        skippingFailure([&] { Print_Page(sBatchId); });
        printFailed = lastPagePrint == PagePrint::Failed;
    };

    for (;;) {
        lbl_ReadyStatus->hide();
        pb_ReadyStatus->show();
        pb_ReadyStatus->setValue(0);
        int ended = waitForPage(*this, engine, sinceLoadStart);
        if (ended == kWindowClosed)
            return;
        ++passes;
        if (ended == kPageTimedOut || passes > printing::kPassLimit) {
            failLoad(*this);
            return;
        }

        skippingFailure([&] { sBatchId = engine.elementValue(QStringLiteral("BATCH_ID")); });
        skippingFailure([&] { printType = engine.elementValue(QStringLiteral("PrintType")); });
        const printing::PageKind kind = printing::pageKind(printType);
        if (kind == printing::PageKind::LastPage)
            break;
        if (kind == printing::PageKind::Cover) {
            printPage();
            if (unloaded())
                return;
            // The server is given the batch page to completion before the
            // sample page is asked for.
            skippingFailure([&] { engine.navigate(printing::batchPageAddress(address, sBatchId)); });
            ended = waitForPage(*this, engine, sinceLoadStart);
            if (ended == kWindowClosed)
                return;
            if (ended == kPageTimedOut) {
                failLoad(*this);
                return;
            }
            skippingFailure([&] { engine.navigate(printing::samplesPageAddress(address, sBatchId)); });
        } else {
            skippingFailure([&] { engine.navigate(printing::batchPageAddress(address, sBatchId)); });
        }
    }

    pb_ReadyStatus->setValue(pb_ReadyStatus->maximum());
    lbl_ReadyStatus->setText(QStringLiteral("System Idle"));
    lbl_ReadyStatus->show();
    pb_ReadyStatus->hide();

    pb_BatchStatus->show();
    const int batchProgress = int(nReportsProcessed) + int(nClientSamples);
    if (batchProgress <= std::numeric_limits<qint16>::max() && batchProgress >= pb_BatchStatus->minimum()
        && batchProgress <= pb_BatchStatus->maximum())
        pb_BatchStatus->setValue(batchProgress);

    printPage();
    bBatchPrinted = !printFailed && lastPagePrint == PagePrint::Printed;
    if (unloaded())
        return;
    skippingFailure([&] { Delete_Batch(sBatchId); });
    if (unloaded())
        return;

    pause(*this, printing::pauseSecondsForCaption(lblStatsValue[4]->text()));
    if (unloaded())
        return;

    if (bManualPrint) {
        pb_BatchStatus->hide();
        skippingFailure([&] { Get_ActiveClients(sRatingFilter); });
    }
}

void Form_HardCopy::Print_Page(const QString &batchId)
{
    lastPagePrint = PagePrint::NotAsked;
    if (batchId.isEmpty() || !printReportsChecked(*this))
        return;
    lastPagePrint = PagePrint::Failed;
    BrowserEngine &engine = browserOf(*this);
    if (!printQueue())
        throw Failure("There is no printer.");
    const QByteArray document = engine.pageAsPdf(engine.pageLayout());
    const printing::PrintResult result = printQueue()->print(
        document, QStringLiteral("HardCopy batch ") + batchId.trimmed(), [this] { return unloaded(); });
    if (result.printed()) {
        lastPagePrint = PagePrint::Printed;
        return;
    }
    qWarning("Batch %s was not printed (job %d): %s", qUtf8Printable(batchId), result.jobId,
             qUtf8Printable(result.detail));
}

void Form_HardCopy::Delete_Batch(const QString &batchId)
{
    if (batchId.isEmpty() || !printReportsChecked(*this) || !bBatchPrinted)
        return;
    if (db().Exec_DB_Statement(printing::deleteBatchStatement(batchId), true))
        bBatchDeleted = true;
    Set_CurrApp_Update(QStringLiteral("HARD_COPY"));
}

void Form_HardCopy::cmd_Printer_Click()
{
    BrowserEngine &engine = browserOf(*this);
    QPrinter printer;
    printer.setPageLayout(engine.pageLayout());
    QPageSetupDialog dialog(&printer, this);
    platform().prompts->showModal(this, dialog);
    if (dialog.result() == QDialog::Accepted)
        engine.setPageLayout(printer.pageLayout());
}

} // namespace hc::app
