// A client chosen in the grid and printed by the report request, with the
// real browser engine, the real CUPS queue and the lab simulator's database
// and report server.

#include "app/form_hardcopy.h"
#include "clients/client_grid_model.h"
#include "db/odbc_connection.h"
#include "printing/cups_print_queue.h"
#include "printing/report_load.h"
#include "printing/report_request.h"
#include "printing/web_engine_browser.h"
#include "support/labsim_client.h"
#include "support/scripted_prompts.h"

#include <QComboBox>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTableView>
#include <QTest>
#include <QUrl>

#include <gmock/gmock.h>

#include <unistd.h>

namespace hc::test {
namespace {

using namespace std::chrono_literals;
using printing::PrintOutcome;
using printing::PrintResult;
using testing::ElementsAreArray;
using testing::HasSubstr;

const QString kCaptureFolder = QStringLiteral("/var/spool/hardcopy-capture");
const QString kDeletion = QStringLiteral("exec routing.dbo.Distrib_ActiveSamples_DelBatch @batchId = '");

// Prints on CUPS and remembers how each print ended.
class RecordingQueue : public printing::PrintQueue {
public:
    RecordingQueue(std::chrono::seconds timeLimit, std::vector<PrintResult> &results)
        : queue_(timeLimit), results_(results)
    {
    }
    PrintResult print(const QByteArray &pdf, const QString &title, const std::function<bool()> &abandon) override
    {
        results_.push_back(queue_.print(pdf, title, abandon));
        return results_.back();
    }

private:
    printing::CupsPrintQueue queue_;
    std::vector<PrintResult> &results_;
};

QString pdfText(int jobId)
{
    QProcess process;
    process.start("pdftotext", {kCaptureFolder + QStringLiteral("/job-%1.pdf").arg(jobId), "-"});
    process.waitForFinished();
    return QString::fromUtf8(process.readAllStandardOutput());
}

bool captured(int jobId)
{
    return QFile::exists(kCaptureFolder + QStringLiteral("/job-%1.pdf").arg(jobId));
}

struct Limits {
    int pageSeconds = 30;
    int printSeconds = 30;
};

// The window on the lab simulator, logged in to KORVEL as employee 1002,
// stopped, its grid on every waiting client.
class LabWindow : public testing::Test {
protected:
    void open(Limits limits = {})
    {
        lab.reset();
        lab.sibling("silent");
        app::Platform platform;
        platform.configuration.dbConnect = lab.connectionString();
        platform.configuration.reportServer = lab.reportServer();
        platform.configuration.pageTimeoutSeconds = limits.pageSeconds;
        platform.configuration.printTimeoutSeconds = limits.printSeconds;
        platform.makeConnection = [] { return std::make_unique<db::OdbcConnection>(); };
        platform.prompts = &prompts;
        platform.makeBrowserEngine = [](QWebEngineView &view) {
            return std::make_unique<printing::WebEngineBrowser>(view, 30s);
        };
        platform.makePrintQueue = [this, limits] {
            return std::make_unique<RecordingQueue>(std::chrono::seconds(limits.printSeconds), prints);
        };
        window = std::make_unique<app::Form_HardCopy>(std::move(platform));
        window->Form_Load();
        window->sLabCode = QStringLiteral("KORVEL");
        window->sEmpNum = QStringLiteral("1002");
        {
            const QSignalBlocker blocker(window->cbo_Freq_HardCopy);
            window->cbo_Freq_HardCopy->setCurrentIndex(2);
        }
        window->opt_FilterRating[0]->setChecked(true);
        window->Get_ActiveClients(QString());
    }

    // Stands the grid on the client's row; its receive date as the grid gives it.
    QString select(int contactId)
    {
        const db::ResultSetPtr &rows = window->gridModel()->resultSet();
        const int column = rows->columnIndex("CONTACT_ID");
        for (int row = 0; row < rows->recordCount(); ++row) {
            if (rows->value(row, column).toInt32() == contactId) {
                window->DataGrid1->setCurrentIndex(window->gridModel()->index(row, 1));
                return window->gridModel()->currentValue("REC_DATE").toText();
            }
        }
        ADD_FAILURE() << "client " << contactId << " does not wait";
        return {};
    }

    // Requests the client's reports; what the simulator saw of it: the pages
    // (as addresses) and the deletion statements, in order.
    QStringList request()
    {
        const std::size_t before = lab.log().size();
        window->Request_ClientReport();
        QStringList seen;
        const std::vector<LabsimLogEntry> log = lab.log();
        const QString server = QStringLiteral("http://") + lab.reportServer();
        for (std::size_t i = before; i < log.size(); ++i) {
            if (log[i].kind == "page")
                seen.append(server + QUrl::fromPercentEncoding(log[i].text.toUtf8()));
            else if (log[i].text.startsWith(kDeletion))
                seen.append(log[i].text);
        }
        return seen;
    }

    QString address(const QString &endUserId, int contactId, const QString &recDate) const
    {
        app::Configuration configuration;
        configuration.reportServer = lab.reportServer();
        return printing::reportAddress(printing::reportPage(configuration),
                                       {"KORVEL", endUserId, QString::number(contactId), "1002", recDate, {0, 0},
                                        "5 Minutes", true});
    }

    std::vector<QString> waitingBatches() const
    {
        std::vector<QString> batches;
        for (const QJsonValue &sample : lab.state().value("waiting").toArray())
            batches.push_back(sample.toObject().value("BATCH_ID").toString());
        return batches;
    }

    LabsimClient lab = LabsimClient::fromEnvironment();
    ScriptedPrompts prompts;
    std::vector<PrintResult> prints;
    std::unique_ptr<app::Form_HardCopy> window;
};

struct FlowCase {
    const char *name;
    int contactId;
    const char *endUserId;
    const char *contactName;
    QStringList followUps; // after the first address: "&bid=" or "&pt=SAMPLES&bid=", each with the batch id
};

class PageFlowOnTheLab : public LabWindow, public testing::WithParamInterface<FlowCase> {};

TEST_P(PageFlowOnTheLab, PrintsEveryPageAndCompletesTheBatch)
{
    open();
    const FlowCase &flow = GetParam();
    const QString recDate = select(flow.contactId);
    const QString first = address(flow.endUserId, flow.contactId, recDate);

    const QStringList seen = request();
    const QString batchId = window->sBatchId;
    ASSERT_FALSE(batchId.isEmpty());
    QStringList expected{first};
    for (const QString &followUp : flow.followUps)
        expected.append(first + followUp + batchId);
    expected.append(kDeletion + batchId + "'");
    EXPECT_EQ(seen, expected);

    ASSERT_EQ(prints.size(), std::size_t(flow.followUps.size() == 2 ? 2 : 1));
    for (const PrintResult &print : prints) {
        ASSERT_TRUE(print.printed()) << print.detail.toStdString();
        ASSERT_TRUE(captured(print.jobId)) << print.jobId;
        const std::string text = pdfText(print.jobId).toStdString();
        EXPECT_THAT(text, HasSubstr(flow.contactName));
        EXPECT_THAT(text, HasSubstr(batchId.toStdString()));
    }
    EXPECT_TRUE(window->bBatchDeleted);
    EXPECT_THAT(waitingBatches(), testing::Not(testing::Contains(batchId)));
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join("\n").toStdString();
    EXPECT_FALSE(window->unloaded());
}

INSTANTIATE_TEST_SUITE_P(
    Contacts, PageFlowOnTheLab,
    testing::Values(FlowCase{"SamplePageFirst", 101, "ASHFLT01", "Ashcombe Fleet Services", {}},
                    FlowCase{"CoverSheet", 102, "OBRIEN-MS", "O'Brien Marine Services", {"&bid=", "&pt=SAMPLES&bid="}},
                    FlowCase{"AskedAgainWithTheBatch", 103, "R&D-07  ", "Kestrel & Finch Engineering", {"&bid="}}),
    [](const auto &info) { return std::string(info.param.name); });

// A stopped queue of this test's own, the default destination of this
// process only.
class StoppedQueue : public LabWindow {
protected:
    void SetUp() override
    {
        ASSERT_EQ(QProcess::execute("lpadmin", {"-p", queue, "-E", "-v", "hardcopy-capture:/", "-m", "raw"}), 0);
        ASSERT_EQ(QProcess::execute("cupsdisable", {queue}), 0);
        qputenv("LPDEST", queue.toUtf8());
    }
    void TearDown() override
    {
        qunsetenv("LPDEST");
        QProcess::execute("lpadmin", {"-x", queue});
    }

    const QString queue = QStringLiteral("hardcopy-capture-test-%1").arg(::getpid());
};

TEST_F(StoppedQueue, APrintNotDoneInTimeIsCancelledAndTheBatchStaysQueued)
{
    open({30, 2});
    const QString recDate = select(101);
    const QStringList seen = request();
    const QString batchId = window->sBatchId;
    EXPECT_EQ(seen, QStringList{address("ASHFLT01", 101, recDate)}) << "no deletion";

    ASSERT_EQ(prints.size(), 1u);
    EXPECT_EQ(prints.front().outcome, PrintOutcome::TimedOut);
    ASSERT_EQ(QProcess::execute("cupsenable", {queue}), 0);
    QTest::qWait(1500);
    EXPECT_FALSE(captured(prints.front().jobId)) << "the cancelled job came out after all";

    EXPECT_FALSE(window->bBatchDeleted);
    EXPECT_THAT(waitingBatches(), testing::Contains(batchId));
    EXPECT_FALSE(window->unloaded());
}

TEST_F(LabWindow, APageThatNeverAnswersEndsTheProgramAfterThePageTimeLimit)
{
    open({2, 30});
    select(101);
    lab.fault(QJsonObject{{"fault", "hang-pages"}, {"count", 1}, {"seconds", 60}});
    request();
    EXPECT_EQ(prompts.messages, QStringList{printing::failedLoadMessage()});
    EXPECT_TRUE(window->unloaded());
    EXPECT_TRUE(prints.empty());
    lab.fault(QJsonObject{{"fault", "clear"}});
}

TEST_F(LabWindow, APageWithoutItsElementsIsAskedForAgainWithTheBatchItLacked)
{
    open();
    const QString recDate = select(101);
    lab.fault(QJsonObject{{"fault", "strip-pages"}, {"count", 1}});
    const QStringList seen = request();
    const QString first = address("ASHFLT01", 101, recDate);
    EXPECT_EQ(seen, (QStringList{first, first + "&bid=", kDeletion + window->sBatchId + "'"}));
    ASSERT_EQ(prints.size(), 1u);
    EXPECT_TRUE(prints.front().printed());
    EXPECT_TRUE(window->bBatchDeleted);
}

} // namespace
} // namespace hc::test
