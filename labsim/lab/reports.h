#pragma once

// What the report pages show, read from the laboratory's tables, and the
// batch ids that page requests assign.

#include "labsim/engine.h"
#include "labsim/tsql/database.h"

#include <optional>
#include <string>
#include <vector>

namespace labsim::lab {

struct LaboratoryInfo {
    std::string code, name, address, cityLine, phone, accreditation;
};

struct ContactInfo {
    int id = 0;
    std::string labCode, name, endUserId, attention, address1, address2, city, region, postalCode;
    std::optional<int> ratingPreference;
    bool coverSheet = false;
    bool twoStep = false;
};

struct ResultLine {
    std::string analyte, result, units, range, flag;
};

struct SampleReport {
    int id = 0;
    std::optional<std::string> sampleNumber; // none for a report that is not a sample's
    std::string description;
    int rating = 0; // 0 normal, 5 abnormal, 10 severe
    std::vector<ResultLine> results;
};

struct BatchInfo {
    std::string id;
    int contactId = 0;
    DateTime receiveDate;
    DateTime assigned;
    std::string state; // OPEN or RELEASED
};

class Reports {
public:
    explicit Reports(tsql::Database &database) : database_(database) {}

    std::optional<LaboratoryInfo> laboratory(const std::string &code);
    std::optional<ContactInfo> contact(const std::string &labCode, int contactId);
    std::optional<std::string> operatorName(const std::string &labCode, const std::string &employeeNumber);
    std::optional<BatchInfo> batch(const std::string &batchId);

    // The open batch of the contact's hard-copy rows of that receive date, or
    // a new one over the rows that wait outside any open batch. None when
    // nothing waits.
    std::optional<BatchInfo> assignBatch(const ContactInfo &contact, const DateTime &receiveDate);
    std::optional<BatchInfo> openBatch(const ContactInfo &contact, const DateTime &receiveDate);

    // The samples of a batch, or (without one) the contact's waiting hard-copy
    // samples of that receive date, each with its results.
    std::vector<SampleReport> samples(const ContactInfo &contact, const DateTime &receiveDate,
                                      const std::optional<BatchInfo> &batch);

private:
    tsql::Database &database_;
};

std::string ratingName(int rating); // "Normal", "Abnormal", "Severe"

} // namespace labsim::lab
