#pragma once

// The report server's pages, written for paper: a cover sheet, the sample
// report page and the page that asks to be requested again with the batch id.

#include "labsim/lab/reports.h"

#include <optional>
#include <string>
#include <vector>

namespace labsim::web {

struct PageData {
    lab::LaboratoryInfo laboratory;
    lab::ContactInfo contact;
    DateTime receiveDate;
    std::optional<lab::BatchInfo> batch;
    std::vector<lab::SampleReport> samples;
    std::string requestedBy; // the operator's name, or the employee number
    std::string frequency;
    DateTime generated;
    bool withElements = true; // the hidden BATCH_ID and PrintType inputs
};

std::string coverPage(const PageData &data);
std::string samplesPage(const PageData &data);
std::string requestPage(const PageData &data);
// An error page carries neither BATCH_ID nor PrintType.
std::string errorPage(int status, const std::string &message);

std::string htmlEscaped(const std::string &text);

} // namespace labsim::web
