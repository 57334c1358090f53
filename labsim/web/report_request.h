#pragma once

// The report page request as the distribution service sends it, read from
// the raw request target.

#include "labsim/engine.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace labsim::web {

inline constexpr const char *kReportPath = "/CommonFiles/reports/RPT_KVO_Distrib.asp";
inline constexpr const char *kWebUser = "QUILBY_40726";

using Parameters = std::vector<std::pair<std::string, std::string>>;

// The query's parameters in order, percent-decoded; '+' stays '+', because
// the service writes "+32" for an "&" in the end-user id.
Parameters queryParameters(std::string_view target);
std::string percentDecoded(std::string_view text);

// The end-user id as the contact holds it: "+32" stands for "&".
std::string endUserIdOf(std::string_view parameter);

struct ReportRequest {
    std::string labCode;
    std::string endUserId; // "+32" already turned back into "&"
    int contactId = 0;
    std::string employeeNumber;
    DateTime receiveDate;
    int rating = 0;
    int customRating = 0;
    std::string frequency;
    bool assignBatch = false;        // cb=Y
    std::optional<std::string> batchId; // bid, blanks around it removed; present even when empty
    bool samplesPage = false;        // pt=SAMPLES
};

struct RequestProblem {
    int status = 400;
    std::string message;
};

// Checks every parameter the service always sends: wui (the web user),
// labCode, eid, cid, pc=Y, en, sd (a date), rating (0, 5, 10), cr (0, 1),
// dt=HARD_COPY, setFrequency; and the optional cb, bid and pt (SAMPLES).
std::variant<ReportRequest, RequestProblem> readReportRequest(const Parameters &parameters,
                                                              const std::string &webUser);

enum class PageKind {
    Cover,   // PrintType "COVER"
    Samples, // PrintType "SAMPLES", the last page
    Request, // PrintType "": ask again with the batch id
};

// Which page answers: pt=SAMPLES gives the sample page; a two-step contact's
// first request (no bid at all) gives the page that asks again; otherwise the
// cover sheet for a contact that wants one, else the sample page.
PageKind pageKind(bool coverSheet, bool twoStep, bool hasBatchParameter, bool samplesPage);

} // namespace labsim::web
