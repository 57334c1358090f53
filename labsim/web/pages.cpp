#include "labsim/web/pages.h"

#include "labsim/tsql/datetime.h"

namespace labsim::web {

namespace {

constexpr const char *kStyle = R"css(
  @page { size: letter; margin: 14mm 16mm; }
  body { font-family: "DejaVu Sans", Arial, sans-serif; font-size: 10pt; color: #111; margin: 0; }
  header { display: flex; justify-content: space-between; align-items: flex-end;
           border-bottom: 2px solid #1d3d6b; padding-bottom: 6pt; margin-bottom: 12pt; }
  header .lab { font-size: 15pt; font-weight: bold; color: #1d3d6b; }
  header .contact { text-align: right; font-size: 8.5pt; line-height: 1.35; }
  h1 { font-size: 13pt; margin: 0 0 10pt 0; }
  .columns { display: flex; justify-content: space-between; gap: 18pt; margin-bottom: 14pt; }
  .address { font-size: 11pt; line-height: 1.4; min-width: 45%; }
  .address .name { font-weight: bold; }
  table.facts { border-collapse: collapse; }
  table.facts th { text-align: left; font-weight: normal; color: #555; padding: 1pt 10pt 1pt 0; }
  table.facts td { font-weight: bold; padding: 1pt 0; }
  table.results { width: 100%; border-collapse: collapse; margin-top: 4pt; }
  table.results th { text-align: left; font-size: 8.5pt; color: #555; border-bottom: 1px solid #888; padding: 3pt 4pt; }
  table.results td { padding: 2pt 4pt; border-bottom: 1px solid #e2e2e2; vertical-align: top; }
  table.results tbody { break-inside: avoid; }
  tr.sample td { background: #eef2f7; font-weight: bold; border-top: 1px solid #888; }
  td.number, th.number { text-align: right; font-variant-numeric: tabular-nums; }
  .rating-Abnormal { color: #8a5a00; }
  .rating-Severe { color: #a40000; }
  td.flag { font-weight: bold; color: #a40000; }
  .summary { margin-top: 12pt; }
  .note { margin-top: 18pt; font-size: 8.5pt; color: #555; border-top: 1px solid #ccc; padding-top: 4pt; }
  .cover-title { font-size: 22pt; font-weight: bold; margin: 30pt 0 20pt 0; color: #1d3d6b; }
  .cover .address { font-size: 14pt; margin: 24pt 0 24pt 40pt; }
  @media screen { body { margin: 16px 20px; } }
)css";

std::string generatedText(const DateTime &moment) { return tsql::generalDateText(moment); }

std::string hiddenInputs(const PageData &data, const char *kind)
{
    if (!data.withElements)
        return {};
    const std::string batchId = data.batch ? data.batch->id : std::string();
    return "<input type=\"hidden\" id=\"BATCH_ID\" value=\"" + htmlEscaped(batchId) +
           "\">\n<input type=\"hidden\" id=\"PrintType\" value=\"" + kind + "\">\n";
}

std::string document(const std::string &title, const std::string &body)
{
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" + htmlEscaped(title) +
           "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n" + body + "</body>\n</html>\n";
}

std::string header(const lab::LaboratoryInfo &laboratory)
{
    return "<header>\n<div class=\"lab\">" + htmlEscaped(laboratory.name) + "</div>\n<div class=\"contact\">" +
           htmlEscaped(laboratory.address) + "<br>" + htmlEscaped(laboratory.cityLine) + "<br>Telephone " +
           htmlEscaped(laboratory.phone) + "<br>" + htmlEscaped(laboratory.accreditation) + "</div>\n</header>\n";
}

std::string addressBlock(const lab::ContactInfo &contact)
{
    std::string block = "<div class=\"address\">\n<div class=\"name\">" + htmlEscaped(contact.name) + "</div>\n";
    if (!contact.attention.empty())
        block += "<div>Attn: " + htmlEscaped(contact.attention) + "</div>\n";
    if (!contact.address1.empty())
        block += "<div>" + htmlEscaped(contact.address1) + "</div>\n";
    if (!contact.address2.empty())
        block += "<div>" + htmlEscaped(contact.address2) + "</div>\n";
    block += "<div>" + htmlEscaped(contact.city) + ", " + htmlEscaped(contact.region) + " " +
             htmlEscaped(contact.postalCode) + "</div>\n</div>\n";
    return block;
}

std::string fact(const std::string &label, const std::string &value)
{
    return "<tr><th>" + htmlEscaped(label) + "</th><td>" + htmlEscaped(value) + "</td></tr>\n";
}

std::string facts(const PageData &data)
{
    std::string rows = fact("Client", std::to_string(data.contact.id));
    const std::string endUser = data.contact.endUserId.substr(0, data.contact.endUserId.find_last_not_of(' ') + 1);
    if (!endUser.empty())
        rows += fact("End user", endUser);
    rows += fact("Received", tsql::generalDateText(data.receiveDate));
    rows += fact("Batch", data.batch ? data.batch->id : "not assigned (preview)");
    rows += fact("Samples", std::to_string(data.samples.size()));
    return "<table class=\"facts\">\n" + rows + "</table>\n";
}

struct Counts {
    int samples = 0, abnormal = 0, severe = 0, documents = 0;
};

Counts countsOf(const std::vector<lab::SampleReport> &samples)
{
    Counts counts;
    for (const lab::SampleReport &sample : samples) {
        if (!sample.sampleNumber) {
            ++counts.documents;
            continue;
        }
        ++counts.samples;
        if (sample.rating >= 10)
            ++counts.severe;
        else if (sample.rating >= 5)
            ++counts.abnormal;
    }
    return counts;
}

} // namespace

std::string htmlEscaped(const std::string &text)
{
    std::string result;
    for (const char c : text) {
        switch (c) {
        case '&':
            result += "&amp;";
            break;
        case '<':
            result += "&lt;";
            break;
        case '>':
            result += "&gt;";
            break;
        case '"':
            result += "&quot;";
            break;
        case '\'':
            result += "&#39;";
            break;
        default:
            result += c;
        }
    }
    return result;
}

std::string coverPage(const PageData &data)
{
    const Counts counts = countsOf(data.samples);
    std::string body = "<div class=\"cover\">\n" + header(data.laboratory);
    body += "<div class=\"cover-title\">Report batch</div>\n";
    body += addressBlock(data.contact);
    body += "<table class=\"facts\">\n";
    body += fact("Received", tsql::generalDateText(data.receiveDate));
    body += fact("Batch", data.batch ? data.batch->id : "not assigned (preview)");
    body += fact("Samples reported", std::to_string(counts.samples));
    body += fact("Abnormal samples", std::to_string(counts.abnormal));
    body += fact("Severe samples", std::to_string(counts.severe));
    if (counts.documents > 0)
        body += fact("Other documents", std::to_string(counts.documents));
    body += "</table>\n";
    if (counts.severe > 0)
        body += "<p class=\"summary rating-Severe\"><b>This batch holds severe results. Please review them at "
                "once.</b></p>\n";
    body += "<div class=\"note\">Printed for " + htmlEscaped(data.contact.name) + " on " +
            generatedText(data.generated) + ", requested by " + htmlEscaped(data.requestedBy) +
            ". The sample reports follow this sheet.</div>\n</div>\n";
    body += hiddenInputs(data, "COVER");
    return document("Cover sheet - " + data.contact.name, body);
}

std::string samplesPage(const PageData &data)
{
    std::string body = header(data.laboratory);
    body += "<h1>Report of analysis</h1>\n<div class=\"columns\">\n" + addressBlock(data.contact) + facts(data) +
            "</div>\n";
    body += "<table class=\"results\">\n<thead><tr><th>Analyte</th><th class=\"number\">Result</th><th>Units</th>"
            "<th>Reference range</th><th>Flag</th></tr></thead>\n";
    for (const lab::SampleReport &sample : data.samples) {
        const std::string rating = lab::ratingName(sample.rating);
        body += "<tbody>\n<tr class=\"sample\"><td colspan=\"3\">" +
                (sample.sampleNumber ? "Sample " + htmlEscaped(*sample.sampleNumber) + " &mdash; "
                                     : std::string()) +
                htmlEscaped(sample.description) + "</td><td colspan=\"2\" class=\"rating-" + rating + "\">" +
                (sample.sampleNumber ? "Rating: " + rating : std::string("Document")) + "</td></tr>\n";
        for (const lab::ResultLine &line : sample.results)
            body += "<tr><td>" + htmlEscaped(line.analyte) + "</td><td class=\"number\">" + htmlEscaped(line.result) +
                    "</td><td>" + htmlEscaped(line.units) + "</td><td>" + htmlEscaped(line.range) +
                    "</td><td class=\"flag\">" + htmlEscaped(line.flag) + "</td></tr>\n";
        if (!sample.sampleNumber)
            body += "<tr><td colspan=\"5\">This report is not a sample's; the laboratory sends it with the "
                    "batch.</td></tr>\n";
        body += "</tbody>\n";
    }
    body += "</table>\n";
    if (data.samples.empty())
        body += "<p>No samples in this batch.</p>\n";
    const Counts counts = countsOf(data.samples);
    body += "<p class=\"summary\">" + std::to_string(counts.samples) + " sample" + (counts.samples == 1 ? "" : "s") +
            ": " + std::to_string(counts.severe) + " severe, " + std::to_string(counts.abnormal) +
            " abnormal. Flags: H above the reference range, HH far above it.</p>\n";
    body += "<div class=\"note\">Generated " + generatedText(data.generated) + " for hard-copy distribution, " +
            htmlEscaped(data.frequency) + ". Results relate only to the samples as received.</div>\n";
    body += hiddenInputs(data, "SAMPLES");
    return document("Report of analysis - " + data.contact.name, body);
}

std::string requestPage(const PageData &data)
{
    std::string body = header(data.laboratory);
    body += "<h1>Preparing the report batch</h1>\n<p>The reports of " + htmlEscaped(data.contact.name) +
            " received " + tsql::generalDateText(data.receiveDate) + " are being put together as batch " +
            htmlEscaped(data.batch ? data.batch->id : std::string("(preview)")) +
            ". Request this page again with the batch id to receive them.</p>\n";
    body += hiddenInputs(data, "");
    return document("Preparing the report batch - " + data.contact.name, body);
}

std::string errorPage(int status, const std::string &message)
{
    const std::string title = status == 404 ? "Report not found" : status == 403 ? "Not permitted"
                              : status == 500 ? "The report server failed"
                                              : "Bad report request";
    return document(title, "<h1>" + htmlEscaped(title) + "</h1>\n<p>" + htmlEscaped(message) + "</p>\n");
}

} // namespace labsim::web
