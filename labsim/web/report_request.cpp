#include "labsim/web/report_request.h"

#include "labsim/tsql/datetime.h"

#include <algorithm>
#include <cctype>

namespace labsim::web {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string trimmed(const std::string &text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

const std::string *find(const Parameters &parameters, std::string_view name)
{
    // The last one wins when a name comes twice, as a classic ASP page reads it.
    const std::string *found = nullptr;
    for (const auto &[key, value] : parameters)
        if (key == name)
            found = &value;
    return found;
}

bool wholeNumber(const std::string &text, int &value)
{
    if (text.empty() || text.size() > 9 || !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return false;
    value = std::stoi(text);
    return true;
}

} // namespace

std::string percentDecoded(std::string_view text)
{
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            result += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            result += text[i];
        }
    }
    return result;
}

Parameters queryParameters(std::string_view target)
{
    Parameters parameters;
    const std::size_t question = target.find('?');
    if (question == std::string_view::npos)
        return parameters;
    std::string_view query = target.substr(question + 1);
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        if (!pair.empty()) {
            const std::size_t equals = pair.find('=');
            parameters.emplace_back(percentDecoded(pair.substr(0, equals)),
                                    equals == std::string_view::npos ? std::string()
                                                                     : percentDecoded(pair.substr(equals + 1)));
        }
        if (amp == std::string_view::npos)
            break;
        query.remove_prefix(amp + 1);
    }
    return parameters;
}

std::string endUserIdOf(std::string_view parameter)
{
    std::string result;
    for (std::size_t i = 0; i < parameter.size(); ++i) {
        if (parameter.substr(i, 3) == "+32") {
            result += '&';
            i += 2;
        } else {
            result += parameter[i];
        }
    }
    return result;
}

std::variant<ReportRequest, RequestProblem> readReportRequest(const Parameters &parameters, const std::string &webUser)
{
    const auto problem = [](std::string message, int status = 400) {
        return RequestProblem{status, std::move(message)};
    };
    for (const char *name : {"wui", "labCode", "eid", "cid", "pc", "en", "sd", "rating", "cr", "dt", "setFrequency"})
        if (!find(parameters, name))
            return problem(std::string("The request lacks the parameter ") + name + ".");
    if (*find(parameters, "wui") != webUser)
        return problem("The web user " + *find(parameters, "wui") + " may not request reports.", 403);

    ReportRequest request;
    request.labCode = *find(parameters, "labCode");
    request.endUserId = endUserIdOf(*find(parameters, "eid"));
    if (!wholeNumber(*find(parameters, "cid"), request.contactId))
        return problem("The contact id " + *find(parameters, "cid") + " is not a number.");
    if (*find(parameters, "pc") != "Y")
        return problem("pc must be Y.");
    request.employeeNumber = *find(parameters, "en");
    const tsql::ParsedDateTime date = tsql::parseDateTime(*find(parameters, "sd"));
    if (date.status != tsql::DateTimeParse::Ok)
        return problem("The receive date " + *find(parameters, "sd") + " is not a date.");
    request.receiveDate = date.value;
    const std::string &rating = *find(parameters, "rating");
    if (!wholeNumber(rating, request.rating) || (request.rating != 0 && request.rating != 5 && request.rating != 10))
        return problem("The rating " + rating + " is not 0, 5 or 10.");
    const std::string &custom = *find(parameters, "cr");
    if (!wholeNumber(custom, request.customRating) || request.customRating > 1)
        return problem("cr " + custom + " is not 0 or 1.");
    if (*find(parameters, "dt") != "HARD_COPY")
        return problem("This page serves the distribution type HARD_COPY only.");
    request.frequency = *find(parameters, "setFrequency");
    if (const std::string *cb = find(parameters, "cb")) {
        if (*cb != "Y")
            return problem("cb must be Y when given.");
        request.assignBatch = true;
    }
    if (const std::string *bid = find(parameters, "bid"))
        request.batchId = trimmed(*bid);
    if (const std::string *pt = find(parameters, "pt")) {
        if (*pt != "SAMPLES")
            return problem("The page type " + *pt + " is unknown.");
        request.samplesPage = true;
    }
    return request;
}

PageKind pageKind(bool coverSheet, bool twoStep, bool hasBatchParameter, bool samplesPage)
{
    if (samplesPage)
        return PageKind::Samples;
    if (twoStep && !hasBatchParameter)
        return PageKind::Request;
    return coverSheet ? PageKind::Cover : PageKind::Samples;
}

} // namespace labsim::web
