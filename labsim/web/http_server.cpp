#include "labsim/web/http_server.h"

#include "labsim/lab/json.h"
#include "labsim/lab/seed.h"
#include "labsim/tsql/datetime.h"
#include "labsim/web/pages.h"

#include <httplib.h>

#include <stdexcept>
#include <thread>

namespace labsim::web {

namespace {

constexpr const char *kHtml = "text/html; charset=utf-8";
constexpr const char *kJson = "application/json";
// Enough workers that a few hanging pages leave the others served.
constexpr std::size_t kWorkers = 24;

void answerJson(httplib::Response &response, int status, const std::string &body)
{
    response.status = status;
    response.set_content(body, kJson);
}

void answerError(httplib::Response &response, int status, const std::string &message)
{
    answerJson(response, status, "{\"error\": " + json::quote(message) + "}\n");
}

std::string withoutTrailingBlanks(const std::string &text) { return text.substr(0, text.find_last_not_of(' ') + 1); }

std::string adminIndex()
{
    std::string operators;
    for (const lab::DemoOperator &person : lab::demoOperators())
        operators += "<tr><td><code>" + htmlEscaped(person.password) + "</code></td><td>" +
                     std::to_string(person.rights) + "</td><td>" + person.labCode + "</td><td>" +
                     std::to_string(person.employeeNumber) + "</td></tr>\n";
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Lab simulator</title></head><body>"
           "<h1>Lab simulator</h1>\n<ul>\n"
           "<li><a href=\"/labsim/log\">GET /labsim/log</a>: every statement and page request, as JSON lines</li>\n"
           "<li><a href=\"/labsim/state\">GET /labsim/state</a>: waiting rows, batches, history, settings</li>\n"
           "<li><a href=\"/labsim/faults\">GET /labsim/faults</a>: the fault orders pending; POST one to add it</li>\n"
           "<li>POST /labsim/reset: the fresh demo laboratory</li>\n"
           "<li>POST /labsim/sibling with <code>hold</code> or <code>silent</code></li>\n"
           "<li>POST /labsim/config with <code>{\"batchReleaseSeconds\": N}</code></li>\n</ul>\n"
           "<h2>Operators</h2>\n<table><tr><th>Password</th><th>Rights</th><th>Lab</th><th>Employee</th></tr>\n" +
           operators + "</table>\n</body></html>\n";
}

} // namespace

struct HttpServer::Impl {
    Impl(lab::Laboratory &laboratory, HttpOptions options) : laboratory(laboratory), options(std::move(options))
    {
        server.new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
        server.set_keep_alive_max_count(1000);
        server.Get(kReportPath, [this](const httplib::Request &request, httplib::Response &response) {
            reportPage(request, response);
        });
        server.Get("/labsim/log", [this](const httplib::Request &, httplib::Response &response) {
            response.set_content(this->laboratory.log().jsonLines(), "application/x-ndjson");
        });
        server.Get("/labsim/state", [this](const httplib::Request &, httplib::Response &response) {
            answerJson(response, 200, this->laboratory.stateJson());
        });
        server.Get("/labsim/faults", [this](const httplib::Request &, httplib::Response &response) {
            answerJson(response, 200, this->laboratory.faults().json() + "\n");
        });
        server.Post("/labsim/faults", [this](const httplib::Request &request, httplib::Response &response) {
            faults(request, response);
        });
        server.Post("/labsim/reset", [this](const httplib::Request &, httplib::Response &response) {
            this->laboratory.reset();
            answerJson(response, 200, "{\"reset\": true}\n");
        });
        server.Post("/labsim/sibling", [this](const httplib::Request &request, httplib::Response &response) {
            sibling(request, response);
        });
        server.Post("/labsim/config", [this](const httplib::Request &request, httplib::Response &response) {
            config(request, response);
        });
        server.Get("/labsim/", [](const httplib::Request &, httplib::Response &response) {
            response.set_content(adminIndex(), kHtml);
        });
        server.Get("/", [](const httplib::Request &, httplib::Response &response) {
            response.set_redirect("/labsim/");
        });
        // Pages that do not exist; the report page answers its own errors.
        server.set_error_handler([this](const httplib::Request &request, httplib::Response &response) {
            if (response.status == 404 && request.path != kReportPath && request.path.rfind("/labsim", 0) != 0 &&
                request.path != "/favicon.ico") {
                this->laboratory.log().add(0, "page", request.target);
                response.set_content(errorPage(404, "There is no page " + request.path + " here."), kHtml);
            }
        });
    }

    void reportPage(const httplib::Request &request, httplib::Response &response)
    {
        laboratory.log().add(0, "page", request.target);
        const lab::Faults::PageFault fault = laboratory.faults().nextPage();
        if (fault == lab::Faults::PageFault::Hang)
            laboratory.faults().hang();
        if (fault == lab::Faults::PageFault::Fail) {
            response.status = 500;
            response.set_content(errorPage(500, "The report could not be produced. Please try again later."), kHtml);
            return;
        }
        const auto answer = [&](int status, const std::string &message) {
            response.status = status;
            response.set_content(errorPage(status, message), kHtml);
        };
        const auto read = readReportRequest(queryParameters(request.target), options.webUser);
        if (const auto *problem = std::get_if<RequestProblem>(&read))
            return answer(problem->status, problem->message);
        const ReportRequest &wanted = std::get<ReportRequest>(read);

        lab::Reports &reports = laboratory.reports();
        PageData data;
        const auto laboratoryInfo = reports.laboratory(wanted.labCode);
        if (!laboratoryInfo)
            return answer(404, "The laboratory " + wanted.labCode + " is unknown.");
        const auto contact = reports.contact(wanted.labCode, wanted.contactId);
        if (!contact)
            return answer(404, "The laboratory " + wanted.labCode + " has no client " + std::to_string(wanted.contactId) +
                                   ".");
        if (withoutTrailingBlanks(contact->endUserId) != wanted.endUserId)
            return answer(400, "The end-user id " + wanted.endUserId + " is not client " +
                                   std::to_string(wanted.contactId) + "'s.");
        if (wanted.batchId && !wanted.batchId->empty()) {
            data.batch = reports.batch(*wanted.batchId);
            if (!data.batch || data.batch->contactId != contact->id || !(data.batch->receiveDate == wanted.receiveDate))
                return answer(404, "The batch " + *wanted.batchId + " is not one of this client's waiting batches.");
        } else if (wanted.assignBatch) {
            data.batch = reports.assignBatch(*contact, wanted.receiveDate);
        } else {
            data.batch = reports.openBatch(*contact, wanted.receiveDate);
        }
        data.samples = reports.samples(*contact, wanted.receiveDate, data.batch);
        if (data.samples.empty())
            return answer(404, "No reports of client " + std::to_string(contact->id) + " received " +
                                   tsql::generalDateText(wanted.receiveDate) + " wait for distribution.");
        data.laboratory = *laboratoryInfo;
        data.contact = *contact;
        data.receiveDate = wanted.receiveDate;
        data.requestedBy = reports.operatorName(wanted.labCode, wanted.employeeNumber)
                               .value_or("employee " + wanted.employeeNumber);
        data.frequency = wanted.frequency;
        data.generated = tsql::localNow();
        data.withElements = fault != lab::Faults::PageFault::Strip;
        switch (pageKind(contact->coverSheet, contact->twoStep, wanted.batchId.has_value(), wanted.samplesPage)) {
        case PageKind::Cover:
            response.set_content(coverPage(data), kHtml);
            break;
        case PageKind::Samples:
            response.set_content(samplesPage(data), kHtml);
            break;
        case PageKind::Request:
            response.set_content(requestPage(data), kHtml);
            break;
        }
    }

    void faults(const httplib::Request &request, httplib::Response &response)
    {
        try {
            const json::Value body = json::parse(request.body);
            std::vector<const json::Value *> orders;
            if (const auto *list = std::get_if<json::Array>(&body.data)) {
                for (const json::Value &order : *list)
                    orders.push_back(&order);
            } else {
                orders.push_back(&body);
            }
            for (const json::Value *order : orders) {
                const json::Value *kind = order->member("fault");
                if (kind && kind->string() && *kind->string() == "drop")
                    laboratory.dropConnections();
                else
                    laboratory.faults().order(*order);
            }
            answerJson(response, 200, laboratory.faults().json() + "\n");
        } catch (const std::exception &error) {
            answerError(response, 400, error.what());
        }
    }

    void sibling(const httplib::Request &request, httplib::Response &response)
    {
        std::string mode = request.has_param("mode") ? request.get_param_value("mode") : request.body;
        if (!mode.empty() && mode.front() == '{') {
            try {
                const json::Value body = json::parse(mode);
                const json::Value *value = body.member("mode");
                mode = value && value->string() ? *value->string() : std::string();
            } catch (const std::exception &error) {
                return answerError(response, 400, error.what());
            }
        }
        mode = withoutTrailingBlanks(mode.substr(0, mode.find_first_of("\r\n")));
        if (mode == "hold")
            laboratory.sibling().setMode(lab::Sibling::Mode::Hold);
        else if (mode == "silent")
            laboratory.sibling().setMode(lab::Sibling::Mode::Silent);
        else
            return answerError(response, 400, "the sibling's mode is \"hold\" or \"silent\"");
        answerJson(response, 200, "{\"sibling\": " + json::quote(mode) + "}\n");
    }

    void config(const httplib::Request &request, httplib::Response &response)
    {
        try {
            const json::Value body = json::parse(request.body);
            const json::Value *seconds = body.member("batchReleaseSeconds");
            if (!seconds || !seconds->number() || *seconds->number() < 0)
                return answerError(response, 400, "\"batchReleaseSeconds\" must be a number of at least 0");
            laboratory.setBatchRelease(std::chrono::seconds(static_cast<long long>(*seconds->number())));
            answerJson(response, 200,
                       "{\"batchReleaseSeconds\": " + std::to_string(laboratory.batchRelease().count()) + "}\n");
        } catch (const std::exception &error) {
            answerError(response, 400, error.what());
        }
    }

    lab::Laboratory &laboratory;
    HttpOptions options;
    httplib::Server server;
    std::thread thread;
};

HttpServer::HttpServer(lab::Laboratory &laboratory, HttpOptions options)
    : impl_(std::make_unique<Impl>(laboratory, std::move(options)))
{
}

HttpServer::~HttpServer() { stop(); }

std::uint16_t HttpServer::start()
{
    int port = impl_->options.port;
    if (port == 0) {
        port = impl_->server.bind_to_any_port(impl_->options.bindAddress);
        if (port <= 0)
            throw std::runtime_error("cannot listen for HTTP on " + impl_->options.bindAddress);
    } else if (!impl_->server.bind_to_port(impl_->options.bindAddress, port)) {
        throw std::runtime_error("cannot listen for HTTP on " + impl_->options.bindAddress + ":" +
                                 std::to_string(port));
    }
    impl_->thread = std::thread([this] { impl_->server.listen_after_bind(); });
    return static_cast<std::uint16_t>(port);
}

void HttpServer::stop()
{
    if (!impl_->thread.joinable())
        return;
    impl_->laboratory.faults().clear(); // releases hanging pages
    impl_->server.stop();
    impl_->thread.join();
}

} // namespace labsim::web
