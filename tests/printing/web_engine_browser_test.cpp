#include "printing/web_engine_browser.h"

#include "app/form_hardcopy.h"
#include "db/failure.h"
#include "printing/cups_print_queue.h"

#include <QProcess>
#include <QRegularExpression>
#include <QEventLoop>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineView>

#include <gmock/gmock.h>
#include <httplib.h>

#include <chrono>
#include <mutex>
#include <thread>

namespace hc::printing {
namespace {

using namespace std::chrono_literals;

// A web server on a free loopback port, recording the raw targets asked for.
class PageServer {
public:
    PageServer()
    {
        server_.Get("/page", [](const httplib::Request &, httplib::Response &response) {
            response.set_content("<html><body><p>Report of Harrow &amp; Sons, batch B 1'x</p>"
                                 "<input type=\"hidden\" id=\"BATCH_ID\" value=\"B 1'x\">"
                                 "<div id=\"PrintType\">COVER</div></body></html>",
                                 "text/html");
        });
        server_.Get("/slow", [](const httplib::Request &, httplib::Response &response) {
            std::this_thread::sleep_for(400ms);
            response.set_content("<input id=\"BATCH_ID\" value=\"SLOW\">", "text/html");
        });
        server_.set_logger([this](const httplib::Request &request, const httplib::Response &) {
            const std::lock_guard lock(mutex_);
            targets_.push_back(request.target);
        });
        // One request a connection, so that stopping never waits for an idle
        // kept-alive connection of the browser.
        server_.set_keep_alive_max_count(1);
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
    }
    ~PageServer()
    {
        server_.stop();
        thread_.join();
    }

    QString address(const QString &target) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(target); }
    std::vector<std::string> targets()
    {
        const std::lock_guard lock(mutex_);
        return targets_;
    }

private:
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
    std::mutex mutex_;
    std::vector<std::string> targets_;
};

// Sleeps in the event loop until the navigation is complete or the time is up.
bool completes(BrowserEngine &engine, std::chrono::milliseconds within = 10s)
{
    if (engine.readyState() != kReadyComplete) {
        QEventLoop loop;
        QObject::connect(&engine, &BrowserEngine::readyStateChanged, &loop, [&](int state) {
            if (state == kReadyComplete)
                loop.quit();
        });
        QTimer::singleShot(within, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return engine.readyState() == kReadyComplete;
}

struct Browser : testing::Test {
    PageServer server;
    QWebEngineView view;
    WebEngineBrowser engine{view, 5s};
};

TEST_F(Browser, ReadsElementValuesOfTheCompletePage)
{
    EXPECT_EQ(engine.readyState(), kReadyUninitialized);
    QSignalSpy states(&engine, &BrowserEngine::readyStateChanged);
    engine.navigate(server.address("/page"));
    EXPECT_EQ(engine.readyState(), kReadyLoading);
    EXPECT_THROW(engine.elementValue("BATCH_ID"), Failure) << "not complete yet";
    ASSERT_TRUE(completes(engine));
    EXPECT_EQ(states.last().at(0).toInt(), kReadyComplete);

    EXPECT_EQ(engine.elementValue("BATCH_ID"), "B 1'x");
    EXPECT_THROW(engine.elementValue("PrintType"), Failure) << "an element without a value";
    EXPECT_THROW(engine.elementValue("NO_SUCH"), Failure);
    EXPECT_THROW(engine.elementValue("x') || document.body.remove() || ('"), Failure);
    EXPECT_EQ(engine.elementValue("BATCH_ID"), "B 1'x") << "the id is no script";
}

TEST_F(Browser, MatchesItsNavigationWhateverTheAddressHolds)
{
    const QString address = server.address("/page?wui=QUILBY_40726&eid=A+32B  C&sd=3/14/2024&setFrequency=5 Minutes"
                                           "&bid= B'1 \"q\"<>");
    engine.navigate(address);
    ASSERT_TRUE(completes(engine));
    EXPECT_EQ(engine.elementValue("BATCH_ID"), "B 1'x");
    std::vector<QString> pages;
    for (const std::string &target : server.targets())
        if (target.starts_with("/page"))
            pages.push_back(QUrl::fromPercentEncoding(QByteArray::fromStdString(target)));
    EXPECT_THAT(pages, testing::ElementsAre(address.mid(address.indexOf("/page"))));
}

TEST_F(Browser, TheEndOfThePreviousPageIsNotTheNewOnes)
{
    engine.navigate(server.address("/page"));
    ASSERT_TRUE(completes(engine));
    engine.navigate(server.address("/slow"));
    EXPECT_FALSE(completes(engine, 250ms));
    ASSERT_TRUE(completes(engine));
    EXPECT_EQ(engine.elementValue("BATCH_ID"), "SLOW");
}

TEST_F(Browser, AFailedNavigationCompletesWithoutElements)
{
    for (const QString &address : {server.address("/missing"), QStringLiteral("http://127.0.0.1:1/refused")}) {
        engine.navigate(address);
        ASSERT_TRUE(completes(engine)) << address.toStdString();
        EXPECT_THROW(engine.elementValue("BATCH_ID"), Failure) << address.toStdString();
        EXPECT_THROW(engine.pageAsPdf(engine.pageLayout()), Failure) << address.toStdString();
    }
}

// The output of a poppler tool (pdftotext, pdfinfo) on the document.
QString pdfTool(const QString &tool, const QByteArray &pdf)
{
    QTemporaryDir folder;
    const QString file = folder.filePath("page.pdf");
    QFile out(file);
    out.open(QIODevice::WriteOnly);
    out.write(pdf);
    out.close();
    QProcess process;
    process.start(tool, tool == "pdftotext" ? QStringList{file, "-"} : QStringList{file});
    process.waitForFinished();
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The first page's size in whole points, as pdfinfo reads it.
QSize pageSize(const QByteArray &pdf)
{
    const QRegularExpressionMatch size =
        QRegularExpression(R"(Page size:\s+([0-9.]+) x ([0-9.]+) pts)").match(pdfTool("pdfinfo", pdf));
    return size.hasMatch() ? QSize(qRound(size.captured(1).toDouble()), qRound(size.captured(2).toDouble())) : QSize();
}

TEST_F(Browser, MakesAVectorPdfInTheChosenLayout)
{
    engine.navigate(server.address("/page"));
    ASSERT_TRUE(completes(engine));
    EXPECT_EQ(engine.pageLayout().pageSize().id(), QPageSize::A4);
    EXPECT_EQ(engine.pageLayout().orientation(), QPageLayout::Portrait);

    const QByteArray portrait = engine.pageAsPdf(engine.pageLayout());
    EXPECT_TRUE(portrait.startsWith("%PDF"));
    EXPECT_LT(portrait.size(), 200 * 1024) << "text, not an image of it";
    EXPECT_THAT(pdfTool("pdftotext", portrait).toStdString(), testing::HasSubstr("Report of Harrow & Sons, batch B 1'x"));
    EXPECT_EQ(pageSize(portrait), QSize(595, 842));

    QPageLayout landscape = engine.pageLayout();
    landscape.setOrientation(QPageLayout::Landscape);
    EXPECT_EQ(pageSize(engine.pageAsPdf(landscape)), QSize(842, 595));
}

TEST(SystemPlatform, GivesTheWindowThisBrowserAndTheCupsQueue)
{
    app::Form_HardCopy window(app::systemPlatform(app::Configuration{}));
    EXPECT_NE(dynamic_cast<WebEngineBrowser *>(window.browser()), nullptr);
    EXPECT_NE(dynamic_cast<CupsPrintQueue *>(window.printQueue()), nullptr);
}

} // namespace
} // namespace hc::printing
