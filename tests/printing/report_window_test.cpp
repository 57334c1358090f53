#include "app/form_hardcopy.h"
#include "clients/client_grid_model.h"
#include "coordination/turn_taking.h"
#include "printing/report_load.h"
#include "support/window_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPageSetupDialog>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTableView>
#include <QTimer>

#include <gmock/gmock.h>

namespace hc::app {
namespace {

using printing::PrintOutcome;
using test::Answer;
using test::ScriptedPage;
using test::WindowFixture;
using testing::ElementsAre;

const QString kClientsQuery = QStringLiteral("select   * from     routing.dbo.tbl_Distrib_ActiveClients(");
const QString kDeletion = QStringLiteral("exec routing.dbo.Distrib_ActiveSamples_DelBatch");
const QString kHeartbeat = QStringLiteral("update sitecfg.dbo.settings set value = 'HARD_COPY'");

struct Client {
    qint64 contactId;
    QString endUserId;
    QDate recDate;
    qint64 samples;
};

db::ResultSet::Row row(const Client &client)
{
    return {client.contactId, QStringLiteral("Client %1").arg(client.contactId), client.endUserId,
            QDateTime(client.recDate, QTime(0, 0)), client.samples, qint64(12)};
}

// A window after login on laboratory MAPLE, holding the turn, its grid on
// the given clients, stopped (so a request is a manual print).
struct PrintingWindow {
    explicit PrintingWindow(std::vector<Client> clients = {{1042, "A&B  ", QDate(2024, 3, 14), 1}},
                            std::function<void(Platform &)> adjust = {})
        : fixture(adjust, WindowFixture::Printing::Scripted),
          w(*fixture.window)
    {
        fixture.browser->unscripted = ScriptedPage::report(QStringLiteral("SAMPLES"), QStringLiteral("B0"));
        w.sLabCode = QStringLiteral("MAPLE");
        w.sEmpNum = QStringLiteral("E7");
        holdTurn(true);
        std::vector<db::ResultSet::Row> rows;
        for (const Client &client : clients)
            rows.push_back(row(client));
        fixture.db->onPrefix(kClientsQuery,
                             Answer::rows({"CONTACT_ID", "CONTACT_NAME", "ENDUSER_ID", "REC_DATE", "SAMPLES",
                                           "TOTAL_REPORTS"},
                                          rows));
        {
            const QSignalBlocker blocker(w.cbo_Freq_HardCopy);
            w.cbo_Freq_HardCopy->setCurrentIndex(2);
        }
        w.opt_FilterRating[3]->setChecked(true);
        w.Get_ActiveClients(QStringLiteral("CUSTOM"));
        fixture.db->executed.clear();
    }

    void holdTurn(bool held)
    {
        fixture.db->on(coordination::settingsQuery(QStringLiteral("_CA")),
                       Answer::rows({"PARAMETER", "VALUE"},
                                    {{QStringLiteral("Dispatch_CurrApp_CA"),
                                      held ? QStringLiteral("HARD_COPY") : QStringLiteral("AUTO_EXPORT")}}));
    }

    void serve(std::vector<ScriptedPage> pages)
    {
        for (ScriptedPage &page : pages)
            fixture.browser->pages.push_back(std::move(page));
    }

    void selectRow(int index)
    {
        w.DataGrid1->setCurrentIndex(w.gridModel()->index(index, 1));
    }

    QStringList executedStarting(const QString &prefix) const
    {
        QStringList matching;
        for (const QString &statement : fixture.db->executed)
            if (statement.startsWith(prefix))
                matching.append(statement);
        return matching;
    }

    // The addresses navigated, each after the first written relative to it.
    QStringList navigatedAfterFirst() const
    {
        const QStringList &navigated = fixture.browser->navigated;
        QStringList relative;
        for (const QString &address : navigated)
            relative.append(address.startsWith(navigated.front()) ? address.mid(navigated.front().size())
                                                                  : QStringLiteral("<other> ") + address);
        return relative;
    }

    // The address each printed document was made from.
    QStringList printedFrom() const
    {
        QStringList sources;
        const QString first = fixture.browser->navigated.value(0);
        for (const QByteArray &document : fixture.printer->documents) {
            const QString address = QString::fromUtf8(document).remove(QStringLiteral("%PDF scripted "));
            sources.append(address.mid(first.size()));
        }
        return sources;
    }

    WindowFixture fixture;
    Form_HardCopy &w;
};

const QString kAddress = QStringLiteral(
    "http://127.0.0.1:8080/CommonFiles/reports/RPT_KVO_Distrib.asp?wui=QUILBY_40726&labCode=MAPLE&eid=A+32B"
    "&cid=1042&pc=Y&en=E7&sd=3/14/2024&rating=0&cr=1&dt=HARD_COPY&setFrequency=5 Minutes&cb=Y");

TEST(RequestClientReport, ManualPrintOfTheCurrentRow)
{
    PrintingWindow p;
    p.serve({ScriptedPage::report("SAMPLES", "B1")});
    p.w.Request_ClientReport();

    EXPECT_THAT(p.fixture.browser->navigated, ElementsAre(kAddress));
    EXPECT_TRUE(p.w.bManualPrint);
    EXPECT_EQ(p.w.pb_BatchStatus->maximum(), 12);
    EXPECT_EQ(p.w.lblStatsValue[4]->text(), "1");
    EXPECT_EQ(p.w.nClientSamples, 1);
    EXPECT_EQ(p.w.arrSentContactIds, std::vector<QString>{"1042"});
    EXPECT_EQ(p.w.arrSentRecDates, std::vector<QString>{"3/14/2024"});
    EXPECT_EQ(p.w.iSentLast, 0);
    EXPECT_THAT(p.w.cboAddress->itemText(0), kAddress);
    EXPECT_TRUE(p.fixture.prompts.messages.isEmpty());
}

struct AddressCase {
    const char *name;
    int option;
    bool printReports;
    const char *ending;
};

class RequestAddress : public testing::TestWithParam<AddressCase> {};

TEST_P(RequestAddress, CarriesTheSelectedRatingAndThePrintFlag)
{
    PrintingWindow p;
    p.w.opt_FilterRating[std::size_t(GetParam().option)]->setChecked(true);
    p.w.chk_Print->setChecked(GetParam().printReports);
    p.w.Request_ClientReport();
    ASSERT_EQ(p.fixture.browser->navigated.size(), 1);
    const QString address = p.fixture.browser->navigated.front();
    EXPECT_TRUE(address.endsWith(QLatin1String(GetParam().ending))) << address.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Options, RequestAddress,
    testing::Values(AddressCase{"All", 0, true, "&rating=0&cr=0&dt=HARD_COPY&setFrequency=5 Minutes&cb=Y"},
                    AddressCase{"Severe", 1, true, "&rating=10&cr=0&dt=HARD_COPY&setFrequency=5 Minutes&cb=Y"},
                    AddressCase{"Abnormal", 2, true, "&rating=5&cr=0&dt=HARD_COPY&setFrequency=5 Minutes&cb=Y"},
                    AddressCase{"Custom", 3, true, "&rating=0&cr=1&dt=HARD_COPY&setFrequency=5 Minutes&cb=Y"},
                    AddressCase{"PrintReportsUnchecked", 3, false, "&rating=0&cr=1&dt=HARD_COPY&setFrequency=5 Minutes"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(RequestClientReport, OutOfTurnChangesNothing)
{
    PrintingWindow p;
    p.w.bManualPrint = false;
    p.holdTurn(false);
    p.w.Request_ClientReport();
    EXPECT_TRUE(p.fixture.browser->navigated.isEmpty());
    EXPECT_FALSE(p.w.bManualPrint);
    EXPECT_EQ(p.w.lblStatsValue[4]->text(), "");
}

TEST(RequestClientReport, StoppedWithTheGridDisabledRequestsNothing)
{
    PrintingWindow p;
    p.w.bManualPrint = true;
    p.w.DataGrid1->setEnabled(false);
    p.w.Request_ClientReport();
    EXPECT_TRUE(p.fixture.browser->navigated.isEmpty());
    EXPECT_FALSE(p.w.bManualPrint);
    EXPECT_EQ(p.w.lblStatsValue[4]->text(), "");
}

TEST(RequestClientReport, SentListsGrowByDistinctClientsAndSkipOnesAlreadySent)
{
    PrintingWindow p({{1042, "E1", QDate(2024, 3, 14), 1},
                      {1043, "E2", QDate(2024, 3, 14), 1},
                      {1042, "E1", QDate(2024, 3, 15), 1},
                      {1043, "E2", QDate(2024, 3, 14), 6}});
    p.w.Request_ClientReport();
    EXPECT_EQ(p.w.iSentLast, 0);
    p.selectRow(1);
    p.w.Request_ClientReport();
    EXPECT_EQ(p.w.iSentLast, 1);
    p.selectRow(2);
    p.w.Request_ClientReport();
    EXPECT_EQ(p.w.iSentLast, 2);
    EXPECT_EQ(p.fixture.browser->navigated.size(), 3) << "the same contact with another date is requested";

    // The same contact and date again: skipped, but the label and the bar
    // already show the client's counts.
    p.w.pb_BatchStatus->setMaximum(100);
    p.selectRow(3);
    p.w.Request_ClientReport();
    EXPECT_EQ(p.fixture.browser->navigated.size(), 3);
    EXPECT_EQ(p.w.nClientSamples, 0);
    EXPECT_EQ(p.w.iSentLast, 2);
    EXPECT_EQ(p.w.lblStatsValue[4]->text(), "6");
    EXPECT_EQ(p.w.pb_BatchStatus->maximum(), 12);
    EXPECT_EQ(p.w.arrSentContactIds, (std::vector<QString>{"1042", "1043", "1042"}));
    EXPECT_EQ(p.w.arrSentRecDates, (std::vector<QString>{"3/14/2024", "3/14/2024", "3/15/2024"}));
}

TEST(RequestClientReport, ListsThatCannotTakeTheClientStartAgainWithIt)
{
    PrintingWindow p;
    p.w.arrSentContactIds = std::vector<QString>(32768, "1");
    p.w.arrSentRecDates = std::vector<QString>(32768, "1/1/2024");
    p.w.Request_ClientReport();
    EXPECT_EQ(p.w.arrSentContactIds, std::vector<QString>{"1042"});
    EXPECT_EQ(p.w.arrSentRecDates, std::vector<QString>{"3/14/2024"});
    EXPECT_EQ(p.w.iSentLast, 0);
    EXPECT_EQ(p.fixture.browser->navigated.size(), 1);
}

TEST(RequestClientReport, SamplesBeyond16BitsFailAfterTheListsWereCut)
{
    PrintingWindow p({{1042, "E1", QDate(2024, 3, 14), 40000}});
    p.w.arrSentContactIds = std::vector<QString>{"7", "8"};
    p.w.arrSentRecDates = std::vector<QString>{"1/1/2024", "1/2/2024"};
    EXPECT_THROW(p.w.Request_ClientReport(), Failure);
    EXPECT_EQ(p.w.arrSentContactIds, std::vector<QString>{"1042"});
    EXPECT_TRUE(p.fixture.browser->navigated.isEmpty());
}

TEST(RequestClientReport, DuringARunIsNotAManualPrint)
{
    PrintingWindow p;
    p.serve({ScriptedPage::report("SAMPLES", "B1")});
    p.w.cmd_Automation->setText(QStringLiteral("Stop Services"));
    p.w.DataGrid1->setEnabled(false);
    p.w.Request_ClientReport();
    EXPECT_FALSE(p.w.bManualPrint);
    EXPECT_EQ(p.fixture.browser->navigated.size(), 1);
    // No refresh of the grid, and the batch bar stays shown.
    EXPECT_TRUE(p.executedStarting(kClientsQuery).isEmpty());
    EXPECT_FALSE(p.w.pb_BatchStatus->isHidden());
}

struct FlowCase {
    const char *name;
    std::vector<ScriptedPage> pages;
    QStringList navigated; // after the first address, relative to it
    QStringList printed;   // the pages the prints were made from, the same way
    int deletions;
};

class PageFlow : public testing::TestWithParam<FlowCase> {};

TEST_P(PageFlow, NavigatesPrintsAndDeletesAsThePagesAnnounce)
{
    PrintingWindow p;
    p.serve(GetParam().pages);
    p.w.Request_ClientReport();

    EXPECT_EQ(p.navigatedAfterFirst(), GetParam().navigated);
    EXPECT_EQ(p.printedFrom(), GetParam().printed);
    EXPECT_EQ(p.executedStarting(kDeletion).size(), GetParam().deletions);
    EXPECT_EQ(p.w.bBatchDeleted, GetParam().deletions == 1);
    EXPECT_TRUE(p.fixture.prompts.messages.isEmpty());
    EXPECT_FALSE(p.w.unloaded());
}

ScriptedPage withoutElements()
{
    return {};
}

ScriptedPage onlyBatch(const QString &batchId)
{
    return {{{QStringLiteral("BATCH_ID"), batchId}}, true};
}

INSTANTIATE_TEST_SUITE_P(
    Pages, PageFlow,
    testing::Values(
        FlowCase{"SamplesPageFirst", {ScriptedPage::report("SAMPLES", "B1")}, {""}, {""}, 1},
        FlowCase{"CoverThenSamples",
                 {ScriptedPage::report("COVER", "B1"), withoutElements(), ScriptedPage::report("SAMPLES", "B1")},
                 {"", "&bid=B1", "&pt=SAMPLES&bid=B1"},
                 {"", "&pt=SAMPLES&bid=B1"},
                 1},
        FlowCase{"EmptyKindIsAskedAgainWithTheBatch",
                 {ScriptedPage::report("", "B1"), ScriptedPage::report("SAMPLES", "B1")},
                 {"", "&bid=B1"},
                 {"&bid=B1"},
                 1},
        FlowCase{"NoElementsAtAllAsksAgainWithAnEmptyBatch",
                 {withoutElements(), ScriptedPage::report("SAMPLES", "B2")},
                 {"", "&bid="},
                 {"&bid="},
                 1},
        FlowCase{"LowerCaseCoverIsTheLastPage", {ScriptedPage::report("cover", "B1")}, {""}, {""}, 1},
        FlowCase{"MissingKindAfterACoverKeepsTheCover",
                 {ScriptedPage::report("COVER", "B1"), withoutElements(), onlyBatch("B1"), withoutElements(),
                  ScriptedPage::report("SAMPLES", "B1")},
                 {"", "&bid=B1", "&pt=SAMPLES&bid=B1", "&bid=B1", "&pt=SAMPLES&bid=B1"},
                 {"", "&pt=SAMPLES&bid=B1", "&pt=SAMPLES&bid=B1"},
                 1},
        FlowCase{"EmptyBatchIdPrintsAndDeletesNothing", {ScriptedPage::report("SAMPLES", "")}, {""}, {}, 0}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(LoadReportPage, ACoverSheetsPrintEndsBeforeTheBatchPageWhichCompletesBeforeTheSamplePage)
{
    PrintingWindow p;
    p.serve({ScriptedPage::report("COVER", "B1"), withoutElements(), ScriptedPage::report("SAMPLES", "B1")});
    p.w.Load_ReportPage(QStringLiteral("A"));
    EXPECT_THAT(*p.fixture.browser->trace,
                ElementsAre("navigate A", "complete A", "print HardCopy batch B1", "printed", "navigate A&bid=B1",
                            "complete A&bid=B1", "navigate A&pt=SAMPLES&bid=B1", "complete A&pt=SAMPLES&bid=B1",
                            "print HardCopy batch B1", "printed"));
}

TEST(LoadReportPage, TheEleventhPageAskingForAnotherEndsTheProgram)
{
    PrintingWindow p;
    p.fixture.browser->unscripted = {};
    p.w.Load_ReportPage(QStringLiteral("A"));

    QStringList expected{"A"};
    for (int i = 0; i < 10; ++i)
        expected.append("A&bid=");
    EXPECT_EQ(p.fixture.browser->navigated, expected);
    EXPECT_EQ(p.fixture.prompts.messages, QStringList{printing::failedLoadMessage()});
    EXPECT_TRUE(p.w.unloaded());
    EXPECT_TRUE(p.fixture.printer->documents.empty());
    EXPECT_TRUE(p.executedStarting(kDeletion).isEmpty());
}

TEST(LoadReportPage, APageThatNeverCompletesFailsTheLoadAfterThePageTimeLimit)
{
    PrintingWindow p({{1042, "E1", QDate(2024, 3, 14), 1}},
                     [](Platform &platform) { platform.configuration.pageTimeoutSeconds = 1; });
    ScriptedPage hanging;
    hanging.completes = false;
    p.serve({hanging});
    QElapsedTimer clock;
    clock.start();
    p.w.Request_ClientReport();
    EXPECT_GE(clock.elapsed(), 1000);
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(p.fixture.prompts.messages, QStringList{printing::failedLoadMessage()});
    EXPECT_TRUE(p.w.unloaded());
}

TEST(LoadReportPage, ClosingTheWindowEndsTheWaitWithoutAMessage)
{
    PrintingWindow p;
    ScriptedPage hanging;
    hanging.completes = false;
    p.serve({hanging});
    QTimer::singleShot(50, &p.w, [&] { p.w.close(); });
    QElapsedTimer clock;
    clock.start();
    p.w.Load_ReportPage(QStringLiteral("A"));
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_TRUE(p.w.unloaded());
    EXPECT_TRUE(p.fixture.prompts.messages.isEmpty());
}

TEST(LoadReportPage, TheReadyStateBarIsWrittenOnlyOnWholeSecondsThatAreMultiplesOfFive)
{
    PrintingWindow p;
    ScriptedPage slow = ScriptedPage::report("SAMPLES", "B1");
    slow.interactiveAfterMs = 1100;
    slow.completeAfterMs = 1500;
    p.serve({slow});
    std::vector<int> seen;
    QTimer::singleShot(50, &p.w, [&] { seen.push_back(p.w.pb_ReadyStatus->value()); });
    QTimer::singleShot(1300, &p.w, [&] { seen.push_back(p.w.pb_ReadyStatus->value()); });
    p.w.Load_ReportPage(QStringLiteral("A"));
    EXPECT_THAT(seen, ElementsAre(1, 1)) << "the interactive state came in second 1";
}

TEST(LoadReportPage, ShowsTheEndOfTheLoadAndRefreshesTheGridAfterAManualPrint)
{
    PrintingWindow p({{1042, "E1", QDate(2024, 3, 14), 1}});
    p.serve({ScriptedPage::report("SAMPLES", "B1")});
    p.w.nReportsProcessed = 4;
    p.w.Request_ClientReport();

    EXPECT_EQ(p.w.lbl_ReadyStatus->text(), "System Idle");
    EXPECT_FALSE(p.w.lbl_ReadyStatus->isHidden());
    EXPECT_TRUE(p.w.pb_ReadyStatus->isHidden());
    EXPECT_EQ(p.w.pb_ReadyStatus->value(), 4);
    EXPECT_EQ(p.w.pb_BatchStatus->value(), 5);
    EXPECT_TRUE(p.w.pb_BatchStatus->isHidden());
    EXPECT_EQ(p.executedStarting(kClientsQuery).size(), 1);
    EXPECT_TRUE(p.executedStarting(kClientsQuery).front().contains("not(contact_id = 1042 and rec_date = '3/14/2024')"));
}

TEST(LoadReportPage, PausesAfterTheBatchByItsSampleCountEvenWhenNothingIsPrinted)
{
    PrintingWindow p({{1042, "E1", QDate(2024, 3, 14), 3}});
    p.serve({ScriptedPage::report("SAMPLES", "B1")});
    p.w.chk_Print->setChecked(false);
    QElapsedTimer clock;
    clock.start();
    p.w.Request_ClientReport();
    EXPECT_GE(clock.elapsed(), 1000);
    EXPECT_LT(clock.elapsed(), 1900);
    EXPECT_TRUE(p.fixture.printer->documents.empty());
    EXPECT_TRUE(p.executedStarting(kDeletion).isEmpty());
    EXPECT_FALSE(p.w.bBatchDeleted);
    EXPECT_EQ(p.w.lbl_ReadyStatus->text(), "System Idle");
}

TEST(LoadReportPage, ABatchIdWithBlanksAndApostrophes)
{
    PrintingWindow p;
    p.serve({ScriptedPage::report("COVER", " B'1 "), withoutElements(), ScriptedPage::report("SAMPLES", " B'1 ")});
    p.w.Request_ClientReport();
    EXPECT_EQ(p.navigatedAfterFirst(), (QStringList{"", "&bid= B'1 ", "&pt=SAMPLES&bid= B'1 "}));
    EXPECT_EQ(p.executedStarting(kDeletion),
              QStringList{"exec routing.dbo.Distrib_ActiveSamples_DelBatch @batchId = 'B''1'"});
    EXPECT_EQ(p.w.sBatchId, " B'1 ");
}

TEST(LoadReportPage, ADeletionRenewsTheTurn)
{
    PrintingWindow p;
    p.serve({ScriptedPage::report("SAMPLES", "B1")});
    p.w.Request_ClientReport();
    const QStringList &executed = p.fixture.db->executed;
    qsizetype deletion = 0;
    while (deletion < executed.size() && !executed[deletion].startsWith(kDeletion))
        ++deletion;
    ASSERT_LT(deletion + 1, executed.size());
    EXPECT_TRUE(executed[deletion + 1].startsWith(kHeartbeat));
}

struct PrintFailureCase {
    const char *name;
    std::vector<ScriptedPage> pages;
    std::deque<PrintOutcome> outcomes;
    int printsTried;
};

class FailedPrint : public testing::TestWithParam<PrintFailureCase> {};

TEST_P(FailedPrint, LeavesTheBatchQueuedEvenAtTheEndOfTheRun)
{
    PrintingWindow p;
    p.serve(GetParam().pages);
    p.fixture.printer->outcomes = GetParam().outcomes;
    p.w.Request_ClientReport();

    EXPECT_EQ(p.fixture.printer->documents.size(), std::size_t(GetParam().printsTried));
    EXPECT_TRUE(p.executedStarting(kDeletion).isEmpty());
    EXPECT_FALSE(p.w.bBatchDeleted);
    EXPECT_FALSE(p.w.bBatchPrinted);
    // The end of a run deletes a batch that was not deleted: never this one.
    p.w.Delete_Batch(p.w.sBatchId);
    EXPECT_TRUE(p.executedStarting(kDeletion).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Prints, FailedPrint,
    testing::Values(PrintFailureCase{"LastPage", {ScriptedPage::report("SAMPLES", "B1")}, {PrintOutcome::TimedOut}, 1},
                    PrintFailureCase{"CoverSheetAndTheSamplePageIsNotPrinted",
                                     {ScriptedPage::report("COVER", "B1"), withoutElements(),
                                      ScriptedPage::report("SAMPLES", "B1")},
                                     {PrintOutcome::NoDestination},
                                     1},
                    PrintFailureCase{"SamplePageAfterACover",
                                     {ScriptedPage::report("COVER", "B1"), withoutElements(),
                                      ScriptedPage::report("SAMPLES", "B1")},
                                     {PrintOutcome::Printed, PrintOutcome::Aborted},
                                     2}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(LoadReportPage, APageThatCannotBeMadeIntoADocumentIsAFailedPrint)
{
    PrintingWindow p;
    p.serve({ScriptedPage::report("SAMPLES", "B1")});
    p.fixture.browser->pdfFails = true;
    p.w.Request_ClientReport();
    EXPECT_TRUE(p.executedStarting(kDeletion).isEmpty());
    EXPECT_FALSE(p.w.bBatchDeleted);
    EXPECT_EQ(p.w.lbl_ReadyStatus->text(), "System Idle") << "the load goes on";
}

TEST(DeleteBatch, AFailedDeletionLeavesTheBatchForTheEndOfTheRun)
{
    PrintingWindow p;
    p.serve({ScriptedPage::report("SAMPLES", "B1")});
    p.fixture.db->once("exec routing.dbo.Distrib_ActiveSamples_DelBatch @batchId = 'B1'",
                       Answer::error(547, "The DELETE statement conflicted."));
    p.w.Request_ClientReport();
    EXPECT_FALSE(p.w.bBatchDeleted);
    EXPECT_TRUE(p.w.bBatchPrinted);

    p.w.Delete_Batch(p.w.sBatchId);
    EXPECT_EQ(p.executedStarting(kDeletion).size(), 2);
    EXPECT_TRUE(p.w.bBatchDeleted);
}

TEST(OpenAddress, EveryAddressHandedOverStaysInTheList)
{
    PrintingWindow p;
    p.serve({ScriptedPage::report("SAMPLES", "B1"), ScriptedPage::report("SAMPLES", "B1")});
    p.w.Open_Address(QStringLiteral("http://x/a"));
    p.w.Open_Address(QStringLiteral("http://x/a"));
    ASSERT_EQ(p.w.cboAddress->count(), 2);
    EXPECT_EQ(p.w.cboAddress->itemText(0), "http://x/a");
    EXPECT_EQ(p.w.cboAddress->itemText(1), "http://x/a");
    EXPECT_EQ(p.fixture.browser->navigated, (QStringList{"http://x/a", "http://x/a"}));
}

TEST(CmdGo, AClickLoadsTheTypedAddressAndAnEmptyBoxLoadsNothing)
{
    PrintingWindow p;
    p.serve({ScriptedPage::report("SAMPLES", "")});
    p.w.cmd_View_Click(); // the address bar lies in the preview
    p.w.cboAddress->setCurrentText(QString());
    ASSERT_TRUE(test::clickByPosition(p.w.cmdGo));
    EXPECT_TRUE(p.fixture.browser->navigated.isEmpty());

    p.w.cboAddress->setCurrentText(QStringLiteral("http://x/typed"));
    ASSERT_TRUE(test::clickByPosition(p.w.cmdGo));
    EXPECT_EQ(p.fixture.browser->navigated, QStringList{"http://x/typed"});
}

// Shows dialogs as the program does, modally; a timer answers them.
class ModalPrompts : public Prompts {
public:
    std::function<void(QDialog &)> answer;
    void showMessage(QWidget *, const QString &) override {}
    void showModal(QWidget *owner, QDialog &dialog) override
    {
        dialog.setParent(owner, dialog.windowFlags() | Qt::Dialog);
        QTimer::singleShot(0, &dialog, [&] { answer(dialog); });
        dialog.exec();
    }
};

TEST(CmdPrinter, ThePageSetupChosenIsTheLayoutOfLaterPrints)
{
    ModalPrompts modal;
    PrintingWindow p({{1042, "E1", QDate(2024, 3, 14), 1}}, [&](Platform &platform) { platform.prompts = &modal; });
    EXPECT_EQ(p.w.browser()->pageLayout().pageSize().id(), QPageSize::A4);
    EXPECT_EQ(p.w.browser()->pageLayout().orientation(), QPageLayout::Portrait);

    modal.answer = [](QDialog &dialog) {
        ASSERT_NE(qobject_cast<QPageSetupDialog *>(&dialog), nullptr);
        auto *landscape = dialog.findChild<QRadioButton *>(QStringLiteral("landscape"));
        ASSERT_NE(landscape, nullptr);
        landscape->click();
        dialog.accept();
    };
    p.w.cmd_Printer->setEnabled(true);
    ASSERT_TRUE(test::clickByPosition(p.w.cmd_Printer));
    EXPECT_EQ(p.w.browser()->pageLayout().orientation(), QPageLayout::Landscape);

    modal.answer = [](QDialog &dialog) {
        dialog.findChild<QRadioButton *>(QStringLiteral("portrait"))->click();
        dialog.reject();
    };
    p.w.cmd_Printer_Click();
    EXPECT_EQ(p.w.browser()->pageLayout().orientation(), QPageLayout::Landscape) << "a cancelled setup changes nothing";

    p.serve({ScriptedPage::report("SAMPLES", "B1")});
    p.w.Request_ClientReport();
    ASSERT_EQ(p.fixture.browser->pdfLayouts.size(), 1u);
    EXPECT_EQ(p.fixture.browser->pdfLayouts.front().orientation(), QPageLayout::Landscape);
}

} // namespace
} // namespace hc::app
