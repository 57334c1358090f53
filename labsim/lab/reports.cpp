#include "labsim/lab/reports.h"

#include "labsim/tsql/datetime.h"

#include <cstdio>

namespace labsim::lab {

namespace {

using Types = std::vector<ColumnType>;
constexpr ColumnType T = ColumnType::Text;
constexpr ColumnType I = ColumnType::Int;
constexpr ColumnType D = ColumnType::DateTime;

std::string text(const Cell &cell) { return cell ? std::get<std::string>(*cell) : std::string(); }
int number(const Cell &cell) { return cell ? static_cast<int>(std::get<std::int64_t>(*cell)) : 0; }

// The rows of a contact and receive date that wait for a hard copy outside
// any open batch; ?1 is the contact, ?2 the receive date.
constexpr const char *kUnbatchedRows =
    "CONTACT_ID = ?1 AND REC_DATE = ?2 AND DISTRIB_TYPE = 'HARD_COPY' AND STATUS = 'WAITING' AND NOT EXISTS "
    "(SELECT 1 FROM \"routing_batches\" b WHERE b.BATCH_ID = \"routing_active_samples\".BATCH_ID AND "
    "b.STATE = 'OPEN')";

BatchInfo batchOf(const Row &row)
{
    return {text(row[0]), number(row[1]), std::get<DateTime>(*row[2]), std::get<DateTime>(*row[3]), text(row[4])};
}

constexpr const char *kBatchColumns = "SELECT BATCH_ID, CONTACT_ID, REC_DATE, ASSIGNED, STATE FROM \"routing_batches\" ";

std::optional<BatchInfo> findOpenBatch(tsql::Access &access, const ContactInfo &contact, const DateTime &receiveDate)
{
    const auto rows = access.query(std::string(kBatchColumns) +
                                       "WHERE CONTACT_ID = ?1 AND REC_DATE = ?2 AND DISTRIB_TYPE = 'HARD_COPY' AND "
                                       "STATE = 'OPEN' ORDER BY ASSIGNED LIMIT 1",
                                   {std::int64_t{contact.id}, receiveDate}, {T, I, D, D, T});
    if (rows.empty())
        return std::nullopt;
    return batchOf(rows.front());
}

std::string nextBatchId(tsql::Access &access)
{
    const auto rows = access.query(
        "SELECT MAX(n) FROM (SELECT CAST(substr(BATCH_ID, 3) AS INTEGER) AS n FROM \"routing_batches\" "
        "UNION ALL SELECT CAST(substr(BATCH_ID, 3) AS INTEGER) FROM \"routing_distrib_history\" WHERE BATCH_ID LIKE "
        "'HC%' UNION ALL SELECT CAST(substr(BATCH_ID, 3) AS INTEGER) FROM \"routing_active_samples\" WHERE BATCH_ID "
        "LIKE 'HC%')",
        {}, {I});
    const int last = rows.front().front() ? number(rows.front().front()) : 100000;
    char id[24];
    std::snprintf(id, sizeof id, "HC%06d", (last < 100000 ? 100000 : last) + 1);
    return id;
}

} // namespace

std::string ratingName(int rating)
{
    if (rating >= 10)
        return "Severe";
    if (rating >= 5)
        return "Abnormal";
    return "Normal";
}

std::optional<LaboratoryInfo> Reports::laboratory(const std::string &code)
{
    const auto rows = database_.access().query(
        "SELECT LABCODE, LAB_NAME, ADDRESS, CITY_LINE, PHONE, ACCREDITATION FROM \"lab_laboratories\" "
        "WHERE LABCODE = ?1 COLLATE BINARY",
        {code}, {T, T, T, T, T, T});
    if (rows.empty())
        return std::nullopt;
    const Row &row = rows.front();
    return LaboratoryInfo{text(row[0]), text(row[1]), text(row[2]), text(row[3]), text(row[4]), text(row[5])};
}

std::optional<ContactInfo> Reports::contact(const std::string &labCode, int contactId)
{
    const auto rows = database_.access().query(
        "SELECT CONTACT_ID, LABCODE, CONTACT_NAME, ENDUSER_ID, ATTENTION, ADDRESS_1, ADDRESS_2, CITY, REGION, "
        "POSTAL_CODE, RATING_PREF, COVER_SHEET, TWO_STEP FROM \"routing_contacts\" WHERE CONTACT_ID = ?1 AND "
        "LABCODE = ?2 COLLATE BINARY",
        {std::int64_t{contactId}, labCode}, {I, T, T, T, T, T, T, T, T, T, I, I, I});
    if (rows.empty())
        return std::nullopt;
    const Row &row = rows.front();
    ContactInfo contact;
    contact.id = number(row[0]);
    contact.labCode = text(row[1]);
    contact.name = text(row[2]);
    contact.endUserId = text(row[3]);
    contact.attention = text(row[4]);
    contact.address1 = text(row[5]);
    contact.address2 = text(row[6]);
    contact.city = text(row[7]);
    contact.region = text(row[8]);
    contact.postalCode = text(row[9]);
    if (row[10])
        contact.ratingPreference = number(row[10]);
    contact.coverSheet = number(row[11]) != 0;
    contact.twoStep = number(row[12]) != 0;
    return contact;
}

std::optional<std::string> Reports::operatorName(const std::string &labCode, const std::string &employeeNumber)
{
    const auto rows = database_.access().query(
        "SELECT OPERATOR_NAME FROM \"lab_operators\" WHERE CAST(EMP_NUM AS TEXT) = ?1 AND LABCODE = ?2", {employeeNumber, labCode},
        {T});
    if (rows.empty())
        return std::nullopt;
    return text(rows.front().front());
}

std::optional<BatchInfo> Reports::batch(const std::string &batchId)
{
    const auto rows =
        database_.access().query(std::string(kBatchColumns) + "WHERE BATCH_ID = ?1", {batchId}, {T, I, D, D, T});
    if (rows.empty())
        return std::nullopt;
    return batchOf(rows.front());
}

std::optional<BatchInfo> Reports::openBatch(const ContactInfo &contact, const DateTime &receiveDate)
{
    tsql::Access access = database_.access();
    return findOpenBatch(access, contact, receiveDate);
}

std::optional<BatchInfo> Reports::assignBatch(const ContactInfo &contact, const DateTime &receiveDate)
{
    tsql::Access access = database_.access();
    std::optional<BatchInfo> result;
    access.transaction([&] {
        const std::vector<Cell> key{std::int64_t{contact.id}, receiveDate};
        result = findOpenBatch(access, contact, receiveDate);
        const bool waiting =
            !access.query(std::string("SELECT 1 FROM \"routing_active_samples\" WHERE ") + kUnbatchedRows + " LIMIT 1",
                          key, {I})
                 .empty();
        if (!result && !waiting)
            return;
        if (!result) {
            const DateTime now = tsql::localNow();
            result = BatchInfo{nextBatchId(access), contact.id, receiveDate, now, "OPEN"};
            access.run("INSERT INTO \"routing_batches\" VALUES (?1, ?2, ?3, 'HARD_COPY', ?4, ?5, 'OPEN')",
                       {result->id, std::int64_t{contact.id}, contact.labCode, receiveDate, now});
        }
        if (waiting)
            access.run(std::string("UPDATE \"routing_active_samples\" SET BATCH_ID = ?3 WHERE ") + kUnbatchedRows,
                       {std::int64_t{contact.id}, receiveDate, result->id});
    });
    return result;
}

std::vector<SampleReport> Reports::samples(const ContactInfo &contact, const DateTime &receiveDate,
                                           const std::optional<BatchInfo> &batch)
{
    tsql::Access access = database_.access();
    const std::string columns = "SELECT SAMPLE_ID, SAMPLE_NO, SAMPLE_DESC, RATING FROM \"routing_active_samples\" ";
    const auto rows =
        batch ? access.query(columns + "WHERE BATCH_ID = ?1 ORDER BY SAMPLE_ID", {batch->id}, {I, T, T, I})
              : access.query(columns +
                                 "WHERE CONTACT_ID = ?1 AND REC_DATE = ?2 AND DISTRIB_TYPE = 'HARD_COPY' AND STATUS = "
                                 "'WAITING' ORDER BY SAMPLE_ID",
                             {std::int64_t{contact.id}, receiveDate}, {I, T, T, I});
    std::vector<SampleReport> samples;
    for (const Row &row : rows) {
        SampleReport sample;
        sample.id = number(row[0]);
        if (row[1])
            sample.sampleNumber = text(row[1]);
        sample.description = text(row[2]);
        sample.rating = number(row[3]);
        for (const Row &line : access.query("SELECT ANALYTE, RESULT, UNITS, REF_RANGE, FLAG FROM "
                                            "\"routing_sample_results\" WHERE SAMPLE_ID = ?1 ORDER BY LINE_NO",
                                            {std::int64_t{sample.id}}, {T, T, T, T, T}))
            sample.results.push_back({text(line[0]), text(line[1]), text(line[2]), text(line[3]), text(line[4])});
        samples.push_back(std::move(sample));
    }
    return samples;
}

} // namespace labsim::lab
