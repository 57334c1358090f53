#include "labsim/lab/schema.h"

#include "labsim/tsql/datetime.h"
#include "labsim/tsql/error.h"

namespace labsim::lab {

using tsql::ColumnDef;
using tsql::SqlType;

namespace {

ColumnDef required(std::string name, SqlType type) { return {std::move(name), type, false}; }
ColumnDef optional(std::string name, SqlType type) { return {std::move(name), type, true}; }

const SqlType kLabCode = SqlType::varchar(10);
const SqlType kDistribType = SqlType::varchar(20);
const SqlType kBatchId = SqlType::varchar(20);

std::vector<tsql::TableDef> tables()
{
    return {
        {"sitecfg", "settings",
         {required("PARAMETER", SqlType::varchar(50)), optional("VALUE", SqlType::character(50))},
         {"PARAMETER"}},
        {"lab", "laboratories",
         {required("LABCODE", kLabCode), required("LAB_NAME", SqlType::varchar(60)),
          optional("ADDRESS", SqlType::varchar(80)), optional("CITY_LINE", SqlType::varchar(80)),
          optional("PHONE", SqlType::varchar(20)), optional("ACCREDITATION", SqlType::varchar(60))},
         {"LABCODE"}},
        {"lab", "operators",
         {required("EMP_NUM", SqlType::integer()), required("OPERATOR_NAME", SqlType::varchar(60)),
          required("LABCODE", kLabCode), required("LIMS_PASSWORD", SqlType::varchar(128)),
          required("FG_CUSTSRV_RES", SqlType::integer())},
         {"EMP_NUM"}},
        {"routing", "contacts",
         {required("CONTACT_ID", SqlType::integer()), required("LABCODE", kLabCode),
          required("CONTACT_NAME", SqlType::varchar(80)), optional("ENDUSER_ID", SqlType::varchar(20)),
          optional("ATTENTION", SqlType::varchar(60)), optional("ADDRESS_1", SqlType::varchar(80)),
          optional("ADDRESS_2", SqlType::varchar(80)), optional("CITY", SqlType::varchar(40)),
          optional("REGION", SqlType::varchar(20)), optional("POSTAL_CODE", SqlType::varchar(12)),
          optional("RATING_PREF", SqlType::integer()), required("COVER_SHEET", SqlType::integer()),
          required("TWO_STEP", SqlType::integer())},
         {"CONTACT_ID"}},
        {"routing", "active_samples",
         {required("SAMPLE_ID", SqlType::integer()), required("CONTACT_ID", SqlType::integer()),
          required("LABCODE", kLabCode), required("DISTRIB_TYPE", kDistribType),
          required("REC_DATE", SqlType::datetime()), optional("SAMPLE_NO", SqlType::varchar(20)),
          optional("SAMPLE_DESC", SqlType::varchar(80)), required("RATING", SqlType::integer()),
          required("STATUS", SqlType::varchar(10)), optional("BATCH_ID", kBatchId)},
         {"SAMPLE_ID"}},
        {"routing", "sample_results",
         {required("SAMPLE_ID", SqlType::integer()), required("LINE_NO", SqlType::integer()),
          required("ANALYTE", SqlType::varchar(40)), optional("RESULT", SqlType::varchar(20)),
          optional("UNITS", SqlType::varchar(20)), optional("REF_RANGE", SqlType::varchar(30)),
          optional("FLAG", SqlType::varchar(4))},
         {"SAMPLE_ID", "LINE_NO"}},
        {"routing", "batches",
         {required("BATCH_ID", kBatchId), required("CONTACT_ID", SqlType::integer()), required("LABCODE", kLabCode),
          required("DISTRIB_TYPE", kDistribType), required("REC_DATE", SqlType::datetime()),
          required("ASSIGNED", SqlType::datetime()), required("STATE", SqlType::varchar(10))},
         {"BATCH_ID"}},
        {"routing", "distrib_history",
         {required("SAMPLE_ID", SqlType::integer()), required("CONTACT_ID", SqlType::integer()),
          required("LABCODE", kLabCode), required("DISTRIB_TYPE", kDistribType),
          required("REC_DATE", SqlType::datetime()), optional("SAMPLE_NO", SqlType::varchar(20)),
          optional("SAMPLE_DESC", SqlType::varchar(80)), required("RATING", SqlType::integer()),
          optional("BATCH_ID", kBatchId), required("OUTCOME", SqlType::varchar(10)),
          required("DONE_AT", SqlType::datetime())},
         {"SAMPLE_ID"}},
        {"routing", "status_changes",
         {required("CHANGE_ID", SqlType::integer()), optional("RATING_STRING", SqlType::varchar(20)),
          required("CONTACT_ID", SqlType::integer()), required("STATUS", SqlType::varchar(10)),
          optional("SHIPMENT_DATE", SqlType::datetime()), required("SAMPLES", SqlType::integer()),
          required("CHANGED_AT", SqlType::datetime())},
         {"CHANGE_ID"}},
    };
}

// One row per contact and receive date whose rows wait for the distribution
// type at the laboratory, outside any open batch; the rating filter keeps
// the batches whose worst sample reaches the level, or with the custom flag
// the contact's own preference.
constexpr const char *kActiveClientsBody = R"sql(
SELECT g.CONTACT_ID AS CONTACT_ID, c.CONTACT_NAME AS CONTACT_NAME, c.ENDUSER_ID AS ENDUSER_ID,
       g.REC_DATE AS REC_DATE, g.SAMPLES AS SAMPLES, SUM(g.SAMPLES) OVER () AS TOTAL_REPORTS,
       g.LABCODE AS LABCODE, g.MAX_RATING AS MAX_RATING, g.DISTRIB_TYPE AS DISTRIB_TYPE
FROM (SELECT s.CONTACT_ID, s.LABCODE, s.DISTRIB_TYPE, s.REC_DATE,
             COUNT(s.SAMPLE_NO) AS SAMPLES, MAX(s.RATING) AS MAX_RATING
      FROM "routing_active_samples" s CROSS JOIN "args" a
      WHERE s.DISTRIB_TYPE = a."distributionType" AND s.LABCODE = a."labCode" AND s.STATUS = 'WAITING'
        AND NOT EXISTS (SELECT 1 FROM "routing_batches" b WHERE b.BATCH_ID = s.BATCH_ID AND b.STATE = 'OPEN')
      GROUP BY s.CONTACT_ID, s.LABCODE, s.DISTRIB_TYPE, s.REC_DATE) g
JOIN "routing_contacts" c ON c.CONTACT_ID = g.CONTACT_ID
CROSS JOIN "args" a
WHERE g.MAX_RATING >= CASE WHEN a."customFlag" = 1 THEN COALESCE(c.RATING_PREF, a."ratingLevel")
                           ELSE a."ratingLevel" END
)sql";

tsql::FunctionDef activeClients()
{
    tsql::FunctionDef function;
    function.database = "routing";
    function.name = "tbl_Distrib_ActiveClients";
    function.parameters = {{"@distributionType", kDistribType}, {"@labCode", kLabCode},
                           {"@ratingLevel", SqlType::integer()}, {"@customFlag", SqlType::integer()}};
    function.columns = {
        optional("CONTACT_ID", SqlType::integer()),    optional("CONTACT_NAME", SqlType::varchar(80)),
        optional("ENDUSER_ID", SqlType::varchar(20)),  optional("REC_DATE", SqlType::datetime()),
        optional("SAMPLES", SqlType::integer()),       optional("TOTAL_REPORTS", SqlType::integer()),
        optional("LABCODE", kLabCode),                 optional("MAX_RATING", SqlType::integer()),
        optional("DISTRIB_TYPE", kDistribType),
    };
    function.body = kActiveClientsBody;
    function.defaultOrder = {"REC_DATE", "CONTACT_ID"};
    return function;
}

Cell now() { return tsql::localNow(); }

tsql::ProcedureDef labLogin()
{
    tsql::ProcedureDef procedure;
    procedure.database = "lab";
    procedure.name = "lab_login";
    procedure.parameters = {{"@password", SqlType::varchar(128)}};
    procedure.body = [](tsql::Access &access, const std::vector<Cell> &arguments) {
        StatementResult result;
        result.columns = {{"FG_CUSTSRV_RES", ColumnType::Int},
                          {"LABCODE", ColumnType::Text},
                          {"EMP_NUM", ColumnType::Int},
                          {"OPERATOR_NAME", ColumnType::Text}};
        // Passwords match exactly, letter case and blanks included.
        result.rows = access.query(
            "SELECT FG_CUSTSRV_RES, LABCODE, EMP_NUM, OPERATOR_NAME FROM \"lab_operators\" "
            "WHERE LIMS_PASSWORD = ?1 COLLATE BINARY ORDER BY EMP_NUM",
            {arguments[0]}, {ColumnType::Int, ColumnType::Text, ColumnType::Int, ColumnType::Text});
        result.rowCount = result.rows.size();
        return std::vector<StatementResult>{std::move(result)};
    };
    return procedure;
}

tsql::ProcedureDef distribCleanup(ReleaseAge releaseAge)
{
    tsql::ProcedureDef procedure;
    procedure.database = "routing";
    procedure.name = "distrib_cleanup";
    procedure.parameters = {{"@distributionType", kDistribType}, {"@labCode", kLabCode}};
    procedure.body = [releaseAge](tsql::Access &access, const std::vector<Cell> &arguments) {
        const DateTime oldest = tsql::addMilliseconds(tsql::localNow(), -releaseAge().count() * 1000LL);
        access.run("UPDATE \"routing_batches\" SET STATE = 'RELEASED' "
                   "WHERE STATE = 'OPEN' AND DISTRIB_TYPE = ?1 AND LABCODE = ?2 AND ASSIGNED <= ?3",
                   {arguments[0], arguments[1], oldest});
        return std::vector<StatementResult>{};
    };
    return procedure;
}

tsql::ProcedureDef deleteBatch()
{
    tsql::ProcedureDef procedure;
    procedure.database = "routing";
    procedure.name = "Distrib_ActiveSamples_DelBatch";
    procedure.parameters = {{"@batchId", kBatchId}};
    procedure.body = [](tsql::Access &access, const std::vector<Cell> &arguments) {
        access.transaction([&] {
            access.run("INSERT INTO \"routing_distrib_history\" (SAMPLE_ID, CONTACT_ID, LABCODE, DISTRIB_TYPE, "
                       "REC_DATE, SAMPLE_NO, SAMPLE_DESC, RATING, BATCH_ID, OUTCOME, DONE_AT) "
                       "SELECT SAMPLE_ID, CONTACT_ID, LABCODE, DISTRIB_TYPE, REC_DATE, SAMPLE_NO, SAMPLE_DESC, "
                       "RATING, BATCH_ID, 'PRINTED', ?2 FROM \"routing_active_samples\" WHERE BATCH_ID = ?1",
                       {arguments[0], now()});
            access.run("DELETE FROM \"routing_active_samples\" WHERE BATCH_ID = ?1", {arguments[0]});
            access.run("DELETE FROM \"routing_batches\" WHERE BATCH_ID = ?1", {arguments[0]});
        });
        return std::vector<StatementResult>{};
    };
    return procedure;
}

tsql::ProcedureDef updateStatus()
{
    tsql::ProcedureDef procedure;
    procedure.database = "routing";
    procedure.name = "distrib_UPD_status";
    procedure.parameters = {{"@ratingString", SqlType::varchar(20)},
                            {"@contactId", SqlType::integer()},
                            {"@status", SqlType::varchar(10)},
                            {"@shipmentDate", SqlType::datetime()}};
    procedure.body = [](tsql::Access &access, const std::vector<Cell> &arguments) {
        const std::string status = arguments[2] ? std::get<std::string>(*arguments[2]) : std::string();
        const bool hold = tsql::sameName(status, "HOLD");
        if (!hold && !tsql::sameName(status, "DELETE"))
            throw tsql::SqlError(50000, 16, "Unknown distribution status '" + status + "'.");
        const std::string rows = "FROM \"routing_active_samples\" WHERE CONTACT_ID = ?1 AND REC_DATE = ?2 "
                                 "AND DISTRIB_TYPE = 'HARD_COPY' AND STATUS = 'WAITING'";
        access.transaction([&] {
            const Cell count =
                access.query("SELECT COUNT(SAMPLE_NO) " + rows, {arguments[1], arguments[3]}, {ColumnType::Int})
                    .front()
                    .front();
            if (hold) {
                access.run("UPDATE \"routing_active_samples\" SET STATUS = 'HOLD' WHERE SAMPLE_ID IN (SELECT SAMPLE_ID " +
                               rows + ")",
                           {arguments[1], arguments[3]});
            } else {
                access.run("INSERT INTO \"routing_distrib_history\" (SAMPLE_ID, CONTACT_ID, LABCODE, DISTRIB_TYPE, "
                           "REC_DATE, SAMPLE_NO, SAMPLE_DESC, RATING, BATCH_ID, OUTCOME, DONE_AT) "
                           "SELECT SAMPLE_ID, CONTACT_ID, LABCODE, DISTRIB_TYPE, REC_DATE, SAMPLE_NO, SAMPLE_DESC, "
                           "RATING, BATCH_ID, 'DELETED', ?3 " + rows,
                           {arguments[1], arguments[3], now()});
                access.run("DELETE " + rows, {arguments[1], arguments[3]});
            }
            access.run("INSERT INTO \"routing_status_changes\" (CHANGE_ID, RATING_STRING, CONTACT_ID, STATUS, "
                       "SHIPMENT_DATE, SAMPLES, CHANGED_AT) SELECT COALESCE(MAX(CHANGE_ID), 0) + 1, ?1, ?2, ?3, ?4, "
                       "?5, ?6 FROM \"routing_status_changes\"",
                       {arguments[0], arguments[1], hold ? std::string("HOLD") : std::string("DELETE"), arguments[3],
                        count, now()});
        });
        return std::vector<StatementResult>{};
    };
    return procedure;
}

std::string columnDeclaration(const ColumnDef &column)
{
    std::string declaration = "\"" + column.name + "\" " + column.type.declaration();
    if (column.type.isText())
        declaration += " COLLATE tsql";
    if (!column.nullable)
        declaration += " NOT NULL";
    return declaration;
}

} // namespace

tsql::Catalog laboratoryCatalog(ReleaseAge releaseAge)
{
    tsql::Catalog catalog;
    for (tsql::TableDef &table : tables())
        catalog.add(std::move(table));
    catalog.add(activeClients());
    catalog.add(labLogin());
    catalog.add(distribCleanup(std::move(releaseAge)));
    catalog.add(deleteBatch());
    catalog.add(updateStatus());
    return catalog;
}

void createTables(tsql::Access &access, const tsql::Catalog &catalog)
{
    for (const tsql::TableDef &table : catalog.tables()) {
        std::string sql = "DROP TABLE IF EXISTS \"" + table.storageName() + "\"; CREATE TABLE \"" +
                          table.storageName() + "\" (";
        for (const ColumnDef &column : table.columns)
            sql += columnDeclaration(column) + ", ";
        sql += "PRIMARY KEY (";
        for (std::size_t i = 0; i < table.primaryKey.size(); ++i)
            sql += (i ? ", \"" : "\"") + table.primaryKey[i] + "\"";
        sql += "));";
        access.script(sql);
    }
    access.script("CREATE INDEX IF NOT EXISTS routing_active_samples_batch ON \"routing_active_samples\" (BATCH_ID);"
                  "CREATE INDEX IF NOT EXISTS routing_active_samples_contact ON \"routing_active_samples\" "
                  "(CONTACT_ID, REC_DATE);"
                  "PRAGMA user_version = " + std::to_string(kSchemaVersion) + ";");
}

} // namespace labsim::lab
