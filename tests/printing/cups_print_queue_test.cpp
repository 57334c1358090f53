#include "printing/cups_print_queue.h"

#include <QFile>
#include <QProcess>
#include <QTest>

#include <gmock/gmock.h>

#include <unistd.h>

namespace hc::printing {
namespace {

using namespace std::chrono_literals;

// The queue scripts/print-queue sets up keeps every document here.
const QString kCaptureFolder = QStringLiteral("/var/spool/hardcopy-capture");

QByteArray capturedDocument(int jobId)
{
    QFile file(kCaptureFolder + QStringLiteral("/job-%1.pdf").arg(jobId));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool run(const QString &program, const QStringList &arguments)
{
    return QProcess::execute(program, arguments) == 0;
}

const QByteArray kDocument = "%PDF-1.4\n% a document of the test\n%%EOF\n";

TEST(CupsPrintQueue, PrintsOnTheDefaultDestinationAndWaitsForTheJobToComplete)
{
    CupsPrintQueue queue(30s);
    const PrintResult result = queue.print(kDocument, "HardCopy batch T1", {});
    ASSERT_EQ(result.outcome, PrintOutcome::Printed)
        << result.detail.toStdString() << " (is the test queue set up? scripts/print-queue)";
    EXPECT_GT(result.jobId, 0);
    EXPECT_EQ(capturedDocument(result.jobId), kDocument) << "byte for byte, and already there";
}

// A queue of this test's own, as the default destination of this process
// only, so that stopping it disturbs no one else's prints.
class PrivateQueue : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(run("lpadmin", {"-p", name, "-E", "-v", "hardcopy-capture:/", "-m", "raw"}));
        qputenv("LPDEST", name.toUtf8());
    }
    void TearDown() override
    {
        qunsetenv("LPDEST");
        run("lpadmin", {"-x", name});
    }

    const QString name = QStringLiteral("hardcopy-capture-test-%1").arg(::getpid());
};

TEST_F(PrivateQueue, AJobNotCompletedInTimeIsCancelledAndNeverComesOut)
{
    ASSERT_TRUE(run("cupsdisable", {name}));
    CupsPrintQueue queue(1s);
    const PrintResult result = queue.print(kDocument, "HardCopy batch T2", {});
    EXPECT_EQ(result.outcome, PrintOutcome::TimedOut);
    ASSERT_GT(result.jobId, 0);

    ASSERT_TRUE(run("cupsenable", {name}));
    QTest::qWait(1500);
    EXPECT_TRUE(capturedDocument(result.jobId).isEmpty());
}

TEST_F(PrivateQueue, AnAbandonedWaitCancelsTheJob)
{
    ASSERT_TRUE(run("cupsdisable", {name}));
    CupsPrintQueue queue(30s);
    int asked = 0;
    const PrintResult result = queue.print(kDocument, "HardCopy batch T3", [&] { return ++asked > 2; });
    EXPECT_EQ(result.outcome, PrintOutcome::Abandoned);
    ASSERT_TRUE(run("cupsenable", {name}));
    QTest::qWait(1000);
    EXPECT_TRUE(capturedDocument(result.jobId).isEmpty());
}

TEST_F(PrivateQueue, ARefusingDestinationIsNotAPrint)
{
    ASSERT_TRUE(run("cupsreject", {name}));
    const PrintResult result = CupsPrintQueue(5s).print(kDocument, "HardCopy batch T4", {});
    EXPECT_EQ(result.outcome, PrintOutcome::NotAccepted);
    EXPECT_FALSE(result.detail.isEmpty());
}

TEST(CupsPrintQueue, NoDefaultDestinationIsAFailedPrint)
{
    qputenv("LPDEST", "hardcopy-no-such-queue");
    const PrintResult result = CupsPrintQueue(5s).print(kDocument, "HardCopy batch T5", {});
    qunsetenv("LPDEST");
    EXPECT_EQ(result.outcome, PrintOutcome::NoDestination);
    EXPECT_EQ(result.jobId, 0);
}

} // namespace
} // namespace hc::printing
