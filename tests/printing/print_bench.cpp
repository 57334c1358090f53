// Time per printed page through the service's printing path (page load,
// element reads, PDF, CUPS job completed) against headless Chromium's
// --print-to-pdf of the same page, and the memory of all the program's
// processes after a few and after many printed pages.
//
// Needs a lab simulator (HARDCOPY_LABSIM_ENDPOINTS, as the labsim fixture
// writes it) and the print queue of scripts/print-queue:
//   tests/labsim/labsim_fixture start build/bin/labsim build/bench-labsim
//   HARDCOPY_LABSIM_ENDPOINTS=build/bench-labsim/endpoints build/bin/hardcopy_print_bench --pages 200
//   tests/labsim/labsim_fixture stop build/bench-labsim

#include "app/program.h"
#include "db/failure.h"
#include "printing/cups_print_queue.h"
#include "printing/web_engine_browser.h"
#include "support/labsim_client.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QEventLoop>
#include <QTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QWebEngineView>

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <vector>

#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using hc::printing::kReadyComplete;

// Proportional set size in KiB of the process and all its descendants.
long pssOfProcessTree(pid_t root)
{
    std::vector<pid_t> tree{root};
    bool grew = true;
    while (grew) {
        grew = false;
        for (const QString &entry : QDir("/proc").entryList(QDir::Dirs)) {
            bool numeric = false;
            const pid_t pid = pid_t(entry.toInt(&numeric));
            if (!numeric || std::find(tree.begin(), tree.end(), pid) != tree.end())
                continue;
            QFile stat("/proc/" + entry + "/stat");
            if (!stat.open(QIODevice::ReadOnly))
                continue;
            const QByteArray text = stat.readAll();
            const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
            if (fields.size() > 1 && std::find(tree.begin(), tree.end(), pid_t(fields[1].toInt())) != tree.end()) {
                tree.push_back(pid);
                grew = true;
            }
        }
    }
    long total = 0;
    for (pid_t pid : tree) {
        QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
        if (!rollup.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : rollup.readAll().split('\n'))
            if (line.startsWith("Pss:"))
                total += line.mid(4).trimmed().split(' ').front().toLong();
    }
    return total;
}

struct Sample {
    double load = 0, pdf = 0, job = 0;
    double total() const { return load + pdf + job; }
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void summarise(const char *what, const std::vector<double> &values)
{
    std::printf("%-34s median %7.1f ms   min %7.1f   max %7.1f   (%zu)\n", what, median(values),
                *std::min_element(values.begin(), values.end()), *std::max_element(values.begin(), values.end()),
                values.size());
}

} // namespace

int main(int argc, char **argv)
{
    int pages = 200;
    int chromiumRuns = 10;
    for (int i = 1; i + 1 < argc; ++i) {
        if (QByteArray(argv[i]) == "--pages")
            pages = std::atoi(argv[i + 1]);
        if (QByteArray(argv[i]) == "--chromium-runs")
            chromiumRuns = std::atoi(argv[i + 1]);
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    const auto runtime = hc::app::prepareEnvironment();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    int qtArgc = 1;
    QApplication application(qtArgc, argv);

    hc::test::LabsimClient lab = hc::test::LabsimClient::fromEnvironment();
    lab.reset();
    QString recDate;
    for (const QJsonValue &sample : lab.state().value("waiting").toArray())
        if (sample.toObject().value("CONTACT_ID").toInt() == 101)
            recDate = sample.toObject().value("REC_DATE").toString();
    // The sample page of a client, as a preview (no cb=Y), so that loading it
    // again and again changes nothing in the laboratory.
    const QString address = QStringLiteral("http://") + lab.reportServer() +
                            "/CommonFiles/reports/RPT_KVO_Distrib.asp?wui=QUILBY_40726&labCode=KORVEL&eid=ASHFLT01"
                            "&cid=101&pc=Y&en=1002&sd=" + recDate +
                            "&rating=0&cr=0&dt=HARD_COPY&setFrequency=5 Minutes";
    {
        const auto [status, body] = lab.get(address.mid(address.indexOf("/CommonFiles")));
        if (status != 200) {
            std::fprintf(stderr, "the bench page answers %d: %s\n", status, qPrintable(body.left(300)));
            return 1;
        }
    }

    QWebEngineView view;
    hc::printing::WebEngineBrowser engine(view, 30s);
    hc::printing::CupsPrintQueue queue(60s);
    std::vector<Sample> samples;
    long pssAfter10 = 0;
    QElapsedTimer clock;
    for (int page = 1; page <= pages; ++page) {
        Sample sample;
        clock.start();
        engine.navigate(address);
        {
            // Sleeps until the page is complete, as the report load does.
            QEventLoop loop;
            QObject::connect(&engine, &hc::printing::BrowserEngine::readyStateChanged, &loop, [&](int state) {
                if (state == kReadyComplete)
                    loop.quit();
            });
            QTimer::singleShot(30s, &loop, &QEventLoop::quit);
            if (engine.readyState() != kReadyComplete)
                loop.exec();
        }
        if (engine.readyState() != kReadyComplete) {
            std::fprintf(stderr, "page %d did not complete\n", page);
            return 1;
        }
        try {
            engine.elementValue("BATCH_ID");
            engine.elementValue("PrintType");
        } catch (const hc::Failure &failure) {
            std::fprintf(stderr, "page %d: %s\n", page, failure.what());
            return 1;
        }
        sample.load = double(clock.nsecsElapsed()) / 1e6;
        clock.start();
        const QByteArray pdf = engine.pageAsPdf(engine.pageLayout());
        sample.pdf = double(clock.nsecsElapsed()) / 1e6;
        clock.start();
        const hc::printing::PrintResult printed = queue.print(pdf, QStringLiteral("HardCopy bench %1").arg(page), {});
        sample.job = double(clock.nsecsElapsed()) / 1e6;
        if (!printed.printed()) {
            std::fprintf(stderr, "page %d was not printed: %s\n", page, qPrintable(printed.detail));
            return 1;
        }
        samples.push_back(sample);
        // The bench's documents would only crowd the queue's folder.
        QFile::remove(QStringLiteral("/var/spool/hardcopy-capture/job-%1.pdf").arg(printed.jobId));
        if (page == 10)
            pssAfter10 = pssOfProcessTree(::getpid());
    }
    const long pssAfterAll = pssOfProcessTree(::getpid());

    std::vector<double> load, pdf, job, total;
    for (const Sample &sample : samples) {
        load.push_back(sample.load);
        pdf.push_back(sample.pdf);
        job.push_back(sample.job);
        total.push_back(sample.total());
    }
    std::printf("This path, %d printed pages of %s\n", pages, qPrintable(address));
    summarise("  load (navigate, complete, read)", load);
    summarise("  PDF (printToPdf)", pdf);
    summarise("  job submitted to completed", job);
    summarise("  per printed page", total);

    std::vector<double> chromium;
    for (int run = 0; run < chromiumRuns; ++run) {
        QTemporaryDir profile;
        const QString out = profile.filePath("page.pdf");
        QProcess process;
        clock.start();
        process.start("chromium", {"--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                                   "--disable-component-update", "--disable-sync", "--no-first-run",
                                   "--user-data-dir=" + profile.filePath("profile"), "--print-to-pdf=" + out, address});
        if (!process.waitForFinished(60000) || !QFile::exists(out)) {
            std::fprintf(stderr, "chromium made no PDF: %s\n", process.readAllStandardError().constData());
            break;
        }
        chromium.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    if (!chromium.empty()) {
        std::printf("Headless Chromium --print-to-pdf of the same page (PDF only, no job)\n");
        summarise("  per page", chromium);
    }

    std::printf("PSS of all the program's processes: after 10 pages %ld KiB, after %d pages %ld KiB\n", pssAfter10,
                pages, pssAfterAll);
    return 0;
}
