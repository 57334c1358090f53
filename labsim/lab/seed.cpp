#include "labsim/lab/seed.h"

#include "labsim/lab/schema.h"
#include "labsim/tsql/datetime.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace labsim::lab {

namespace {

// What a contact's samples are, which decides their analytes.
enum class Matrix { Water, Oil, Soil };

struct DemoContact {
    int id;
    const char *name;
    const char *endUserId;
    const char *attention;
    const char *street;
    const char *city;
    const char *region;
    const char *postalCode;
    Matrix matrix;
    int ratingPreference; // -1: none
    bool coverSheet;
    bool twoStep;
};

// clang-format off
const std::vector<DemoContact> kKorvelContacts = {
    {101, "Ashcombe Fleet Services", "ASHFLT01", "Dana Whitcombe", "400 Depot Road", "Milbrook", "OH", "44017", Matrix::Oil, -1, false, false},
    {102, "O'Brien Marine Services", "OBRIEN-MS", "Patrick O'Brien", "17 Harbor Street", "Port Avery", "OH", "44090", Matrix::Oil, -1, true, false},
    {103, "Kestrel & Finch Engineering", "R&D-07  ", "Mira Kestrel", "2210 Innovation Way", "Milbrook", "OH", "44018", Matrix::Soil, -1, false, true},
    {104, "Brightwater Municipal Utility", "BWMU", "Water Quality Office", "1 Civic Plaza", "Brightwater", "OH", "44102", Matrix::Water, -1, true, false},
    {105, "Calder Valley Farms", "CVF-22", "Tom Calder", "RR 3, Box 118", "Calder", "OH", "44230", Matrix::Soil, -1, false, false},
    {106, "Dunmore Power Station", "DPS-LAB", "Plant Chemist", "9 Turbine Road", "Dunmore", "PA", "16512", Matrix::Oil, 10, false, false},
    {107, "Elm Ridge Golf Club", "ELMRIDGE", "Grounds Superintendent", "55 Fairway Drive", "Elm Ridge", "OH", "44321", Matrix::Water, -1, false, true},
    {108, "Fairhaven Hospital Facilities", "FHF-ENG", "Facilities Engineering", "800 Mercy Avenue", "Fairhaven", "OH", "44405", Matrix::Water, 5, true, true},
    {109, "Granger Construction Co.", "GRANGER", "Site Office", "14 Gravel Pit Lane", "Milbrook", "OH", "44019", Matrix::Soil, -1, false, false},
    {110, "Harlow Paper Mill", "HPM-01", "Environmental Manager", "3 Millrace Road", "Harlow", "OH", "44503", Matrix::Water, 10, false, false},
    {111, "Iverson Trucking", "IVERSON", "Shop Foreman", "7700 Freight Boulevard", "Akron", "OH", "44312", Matrix::Oil, -1, true, false},
    {112, "Jasper County Health Dept.", "JCHD", "Dr. Ana Ruiz", "120 Courthouse Square", "Jasper", "IN", "47546", Matrix::Water, -1, false, false},
    {113, "Kingsley Aggregates", "KINGSLEY", "Quarry Office", "Route 9", "Kingsley", "OH", "44601", Matrix::Soil, -1, false, true},
    {114, "Lindqvist Hydraulics", "LQH-SVC", "Service Department", "61 Piston Court", "Milbrook", "OH", "44017", Matrix::Oil, -1, true, true},
    {115, "Meadowbrook School District", "MSD-FAC", "Facilities", "250 Scholar Road", "Meadowbrook", "OH", "44702", Matrix::Water, -1, false, false},
    {116, "Northgate Foundry", "NGF", "Maintenance Planner", "1 Crucible Way", "Northgate", "OH", "44811", Matrix::Oil, 10, false, false},
    {117, "Orchard Lane Dairy", "ORCHARD", "Herd Office", "88 Orchard Lane", "Wellfield", "OH", "44905", Matrix::Water, -1, false, false},
    {118, "Pemberton Rail Yard", "PRY-MECH", "Mechanical Dept.", "2 Switchyard Road", "Pemberton", "OH", "45011", Matrix::Oil, -1, true, false},
    {119, "Quarry Hill Resources", "QHR", "Geology", "400 Summit Road", "Quarry Hill", "WV", "26101", Matrix::Soil, -1, false, false},
    {120, "Redfern Chemical", "REDFERN", "EHS Coordinator", "75 Reactor Drive", "Redfern", "OH", "45103", Matrix::Water, 5, false, true},
    {121, "Stanwick Airport Authority", "SAA-GSE", "Ground Support", "Terminal Road", "Stanwick", "OH", "45209", Matrix::Oil, -1, false, false},
    {122, "Thornbury Wind Farm", "TWF", "Operations", "Ridge Line Road", "Thornbury", "OH", "45301", Matrix::Oil, -1, true, false},
    {123, "Underhill Brewing Co.", "UNDERHILL", "Brewmaster", "12 Malt Street", "Milbrook", "OH", "44017", Matrix::Water, -1, false, false},
    {124, "Vance & Daughters Excavating", "V&D", "Jo Vance", "5 Backhoe Way", "Vance", "OH", "45410", Matrix::Soil, -1, false, false},
    {125, "Whitlock Mining", "WHITLOCK", "Mine Engineer", "Shaft 3 Road", "Whitlock", "KY", "41101", Matrix::Oil, -1, false, true},
};

const std::vector<DemoContact> kTarnbyContacts = {
    {201, "Abernathy Logistics", "ABERNATHY", "Fleet Manager", "300 Distribution Drive", "Halden", "ON", "L4K 2P9", Matrix::Oil, -1, false, false},
    {202, "Bellweather Orchards", "BELLWTHR", "Grower", "Concession 6", "Wexmoor", "ON", "N0B 1H0", Matrix::Soil, -1, true, false},
    {203, "Cartwright's Machine Shop", "CARTWRIGHT", "Lou Cartwright", "19 Lathe Street", "Halden", "ON", "L4K 3A1", Matrix::Oil, -1, false, true},
    {204, "Delacroix Water Board", "DWB", "Compliance Office", "1 Reservoir Road", "Delacroix", "QC", "J0K 1B0", Matrix::Water, 5, false, false},
    {205, "Eastwood Marina", "EASTWOOD", "Harbour Master", "Pier 4", "Eastwood", "ON", "K0K 2T0", Matrix::Oil, -1, true, true},
    {206, "Fenwick Township", "FENWICK-PW", "Public Works", "40 Main Street", "Fenwick", "ON", "L0S 1C0", Matrix::Water, 10, false, false},
    {207, "Glenrose Long-Term Care", "GLENROSE", "Facilities", "77 Glenrose Avenue", "Halden", "ON", "L4K 4C2", Matrix::Water, -1, true, false},
    {208, "Hartley & Sons Haulage", "H&S-01", "Dispatch", "5 Depot Crescent", "Orton", "ON", "L0N 1N0", Matrix::Oil, -1, false, false},
    {209, "Inglewood Ski Resort", "INGLEWOOD", "Mountain Operations", "Summit Road", "Inglewood", "BC", "V0E 2S0", Matrix::Oil, -1, false, true},
    {210, "Juniper Creek Conservation", "JCC", "Field Biologist", "Trailhead Lane", "Juniper", "ON", "P0A 1E0", Matrix::Water, -1, false, false},
    {211, "Kilbride Steelworks", "KILBRIDE", "Reliability Engineer", "2 Furnace Road", "Kilbride", "ON", "L0P 1G0", Matrix::Oil, 10, false, false},
    {212, "Lakeshore Ferries", "LSF-MARINE", "Chief Engineer", "Ferry Dock", "Lakeshore", "ON", "N0R 1A0", Matrix::Oil, -1, true, false},
    {213, "Morrow Bay Fisheries", "MORROW", "Plant Manager", "8 Wharf Road", "Morrow Bay", "NS", "B0J 2K0", Matrix::Water, -1, false, false},
    {214, "Norland Pulp & Paper", "NORLAND", "Environment Dept.", "1 Digester Way", "Norland", "ON", "K0M 2L0", Matrix::Water, 5, false, true},
    {215, "Ostrander Bus Lines", "OSTRANDER", "Garage", "60 Terminal Avenue", "Halden", "ON", "L4K 1B7", Matrix::Oil, -1, false, false},
    {216, "Pinecrest Cottages", "PINECREST", "Owner", "Lake Road 12", "Pinecrest", "ON", "P0B 1C0", Matrix::Water, -1, false, false},
    {217, "Quill Lake Mine", "QLM-GEO", "Mine Geologist", "Highway 11 North", "Quill Lake", "SK", "S0A 3E0", Matrix::Soil, -1, true, false},
    {218, "Rosedale Hydro", "ROSEDALE", "Station Operator", "Dam Road", "Rosedale", "ON", "K0L 2S0", Matrix::Oil, -1, false, false},
    {219, "St. Aubin Vineyards", "STAUBIN", "Vineyard Manager", "Rang 3", "St. Aubin", "QC", "J0L 1A0", Matrix::Soil, -1, false, true},
    {220, "Tamsin Road Landfill", "TAMSIN", "Site Supervisor", "Tamsin Road", "Halden", "ON", "L4K 5D3", Matrix::Water, -1, false, false},
    {221, "Upton Grain Terminal", "UPTON", "Terminal Manager", "Elevator Row", "Upton", "MB", "R0G 2X0", Matrix::Soil, -1, true, true},
    {222, "Verdant Turf Supply", "VERDANT", "Agronomist", "14 Sod Farm Road", "Wexmoor", "ON", "N0B 1H0", Matrix::Soil, -1, false, false},
    {223, "Westmount Arena", "WESTMOUNT", "Building Operator", "900 Rink Street", "Halden", "ON", "L4K 2E8", Matrix::Water, -1, false, false},
    {224, "Yarrow Point Utilities", "YARROW", "Water Operations", "2 Pumphouse Lane", "Yarrow Point", "ON", "K0H 2V0", Matrix::Water, -1, false, true},
    {225, "Zephyr Aviation", "ZEPHYR", "Maintenance Control", "Hangar 6", "Halden", "ON", "L4K 6H1", Matrix::Oil, -1, true, false},
};
// clang-format on

const std::vector<DemoOperator> kOperators = {
    {"korvel0", 0, "KORVEL", 1001, "Alice Brandt"},     {"korvel200", 200, "KORVEL", 1002, "Ben Okafor"},
    {"korvel201", 201, "KORVEL", 1003, "Carla Menon"},  {"tarnby0", 0, "TARNBY", 2001, "Denis Lavoie"},
    {"tarnby200", 200, "TARNBY", 2002, "Erin Walsh"},   {"o'hara", 100, "TARNBY", 2003, "Fiona O'Hara"},
};

struct Analyte {
    const char *name;
    const char *units;
    const char *range; // the reference range as printed
    double low, high;  // normal values lie within
    int decimals;
};

const std::vector<Analyte> &analytesOf(Matrix matrix)
{
    static const std::vector<Analyte> water = {
        {"pH", "", "6.5 - 8.5", 6.8, 8.2, 1},
        {"Nitrate as N", "mg/L", "<= 10", 0.2, 8.0, 2},
        {"Lead", "\xC2\xB5g/L", "<= 15", 0.5, 9.0, 1},
        {"Total coliform", "CFU/100 mL", "0", 0.0, 0.0, 0},
        {"Turbidity", "NTU", "<= 1.0", 0.05, 0.8, 2},
    };
    static const std::vector<Analyte> oil = {
        {"Viscosity at 40 \xC2\xB0" "C", "cSt", "90 - 110", 94.0, 106.0, 1},
        {"Iron", "ppm", "<= 50", 4.0, 38.0, 0},
        {"Copper", "ppm", "<= 25", 1.0, 18.0, 0},
        {"Water", "%", "<= 0.10", 0.01, 0.08, 2},
        {"Silicon", "ppm", "<= 15", 2.0, 11.0, 0},
    };
    static const std::vector<Analyte> soil = {
        {"pH", "", "5.5 - 8.0", 6.0, 7.6, 1},
        {"Lead", "mg/kg", "<= 400", 12.0, 250.0, 0},
        {"Arsenic", "mg/kg", "<= 12", 1.0, 9.0, 1},
        {"Benzene", "mg/kg", "<= 0.5", 0.01, 0.3, 2},
    };
    switch (matrix) {
    case Matrix::Water:
        return water;
    case Matrix::Oil:
        return oil;
    case Matrix::Soil:
        return soil;
    }
    return water;
}

const std::array<const char *, 6> &descriptionsOf(Matrix matrix)
{
    static const std::array<const char *, 6> water = {"Tap, building A", "Well #3", "Effluent outfall",
                                                      "Cooling tower", "Raw intake", "Distribution point 12"};
    static const std::array<const char *, 6> oil = {"Engine, unit 114", "Hydraulic press 2", "Gearbox G-7",
                                                    "Compressor C-1", "Transformer T-4", "Engine, unit 208"};
    static const std::array<const char *, 6> soil = {"Borehole BH-2, 0.5 m", "Field 4, composite",
                                                     "Stockpile SP-1", "Borehole BH-5, 1.0 m", "Test pit TP-3",
                                                     "Field 9, composite"};
    switch (matrix) {
    case Matrix::Water:
        return water;
    case Matrix::Oil:
        return oil;
    case Matrix::Soil:
        return soil;
    }
    return water;
}

// A small deterministic generator, so that the demo laboratory is the same on
// every machine.
class Random {
public:
    explicit Random(std::uint32_t seed) : state_(seed) {}
    int below(int bound)
    {
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<int>((state_ >> 8) % static_cast<std::uint32_t>(bound));
    }

private:
    std::uint32_t state_;
};

std::string formatted(double value, int decimals)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

class Seeder {
public:
    explicit Seeder(tsql::Access &access) : access_(access) {}

    void laboratories()
    {
        const char *sql = "INSERT INTO \"lab_laboratories\" VALUES (?1, ?2, ?3, ?4, ?5, ?6)";
        access_.run(sql, {std::string("KORVEL"), std::string("Korvel Analytical Laboratories"),
                          std::string("1180 Carden Parkway"), std::string("Milbrook, OH 44017"),
                          std::string("(440) 555-0142"), std::string("Accredited testing laboratory no. 2231")});
        access_.run(sql, {std::string("TARNBY"), std::string("Tarnby Environmental Testing"),
                          std::string("72 Wexmoor Road"), std::string("Halden, ON L4K 2P9"),
                          std::string("(905) 555-0187"), std::string("Accredited testing laboratory no. 774")});
    }

    void operators()
    {
        for (const DemoOperator &person : kOperators)
            access_.run("INSERT INTO \"lab_operators\" VALUES (?1, ?2, ?3, ?4, ?5)",
                        {std::int64_t{person.employeeNumber}, std::string(person.name), std::string(person.labCode),
                         std::string(person.password), std::int64_t{person.rights}});
    }

    void settings()
    {
        for (const char *suffix : {"_US", "_CA"}) {
            const std::string sfx = suffix;
            setting("Dispatch_CurrApp" + sfx, kAutoExport);
            setting("Dispatch_LastPing" + sfx, "3/1/2024 6:00");
            setting("Dispatch_LastUpd" + sfx, "3/1/2024 6:00");
            setting("Dispatch_Function" + sfx, "AutoExport Distribution");
            setting("Dispatch_Delay" + sfx, "5");
            setting("Dispatch_Freq" + sfx, "1");
            setting("Export_Folder" + sfx, sfx == "_US" ? "\\\\korvel-fs\\exports" : "\\\\tarnby-fs\\exports");
        }
        setting("LIMS_Version", "7.4.2");
    }

    void contacts(const char *labCode, const std::vector<DemoContact> &contacts, std::uint32_t seed)
    {
        Random random(seed);
        for (const DemoContact &contact : contacts) {
            access_.run("INSERT INTO \"routing_contacts\" VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, "
                        "?13)",
                        {std::int64_t{contact.id}, std::string(labCode), std::string(contact.name),
                         std::string(contact.endUserId), std::string(contact.attention), std::string(contact.street),
                         std::string(), std::string(contact.city), std::string(contact.region),
                         std::string(contact.postalCode),
                         contact.ratingPreference < 0 ? Cell() : Cell(std::int64_t{contact.ratingPreference}),
                         std::int64_t{contact.coverSheet ? 1 : 0}, std::int64_t{contact.twoStep ? 1 : 0}});
            batchesOf(labCode, contact, random);
        }
    }

    // A batch assigned an hour ago that was never deleted: the first cleanup
    // releases it and its client comes back.
    void staleBatch(const char *batchId, int contactId)
    {
        const DateTime assigned = tsql::addMilliseconds(tsql::localNow(), -3600 * 1000LL);
        const std::vector<Row> first = access_.query(
            "SELECT LABCODE, REC_DATE FROM \"routing_active_samples\" WHERE CONTACT_ID = ?1 AND DISTRIB_TYPE = "
            "'HARD_COPY' AND STATUS = 'WAITING' ORDER BY REC_DATE LIMIT 1",
            {std::int64_t{contactId}}, {ColumnType::Text, ColumnType::DateTime});
        const Cell &labCode = first.front()[0];
        const Cell &recDate = first.front()[1];
        access_.run("INSERT INTO \"routing_batches\" VALUES (?1, ?2, ?3, 'HARD_COPY', ?4, ?5, 'OPEN')",
                    {std::string(batchId), std::int64_t{contactId}, labCode, recDate, assigned});
        access_.run("UPDATE \"routing_active_samples\" SET BATCH_ID = ?1 WHERE CONTACT_ID = ?2 AND REC_DATE = ?3 AND "
                    "DISTRIB_TYPE = 'HARD_COPY'",
                    {std::string(batchId), std::int64_t{contactId}, recDate});
    }

private:
    void setting(const std::string &parameter, const std::string &value)
    {
        std::string padded = value;
        padded.resize(50, ' '); // as a char(50) column holds it
        access_.run("INSERT INTO \"sitecfg_settings\" VALUES (?1, ?2)", {parameter, padded});
    }

    static DateTime receiveDate(int dayOffset, int timeChoice)
    {
        static constexpr std::array<std::array<int, 3>, 6> times = {
            {{0, 0, 0}, {8, 15, 0}, {14, 5, 0}, {0, 0, 0}, {16, 42, 30}, {11, 0, 0}}};
        const auto &time = times[static_cast<std::size_t>(timeChoice)];
        return tsql::fromDays1900(tsql::daysFrom1900({2024, 3, 4, 0, 0, 0, 0}) + dayOffset,
                                  ((time[0] * 60L + time[1]) * 60L + time[2]) * 1000L);
    }

    void batchesOf(const char *labCode, const DemoContact &contact, Random &random)
    {
        const bool documentOnly = contact.id == 117 || contact.id == 220;
        const bool largest = contact.id == 119 || contact.id == 217;
        const bool onHold = contact.id == 115 || contact.id == 216;
        const int dates = documentOnly || largest ? 1 : (random.below(10) < 3 ? 2 : 1);
        const int firstDay = random.below(3);
        for (int date = 0; date < dates; ++date) {
            const DateTime received = receiveDate(firstDay + date * (1 + random.below(2)), random.below(6));
            if (documentOnly) {
                // A batch without samples: one report that is not a sample's.
                queueRow(labCode, contact, kHardCopy, received, Cell(), "Quarterly compliance summary", 0, "WAITING");
                continue;
            }
            int count = largest ? 25 : 1 + random.below(random.below(4) == 0 ? 14 : 6);
            // A contact with a rating preference keeps one batch below it, so
            // that the custom filter leaves it out.
            const bool belowPreference = contact.ratingPreference > 0 && date == 0;
            for (int i = 0; i < count; ++i) {
                int rating = 0;
                const int roll = random.below(100);
                if (roll < 10)
                    rating = 10;
                else if (roll < 30)
                    rating = 5;
                if (belowPreference && rating >= contact.ratingPreference)
                    rating = contact.ratingPreference == 10 ? 5 : 0;
                queueSample(labCode, contact, kHardCopy, received, rating, onHold && date == 0 ? "HOLD" : "WAITING",
                            random);
            }
        }
        if (contact.id % 3 == 0) // the sibling's rows, which the hard-copy service never sees
            for (int i = 0; i < 2; ++i)
                queueSample(labCode, contact, kAutoExport, receiveDate(firstDay, 1), random.below(3) * 5, "WAITING",
                            random);
    }

    void queueSample(const char *labCode, const DemoContact &contact, const char *type, const DateTime &received,
                     int rating, const char *status, Random &random)
    {
        char number[24];
        std::snprintf(number, sizeof number, "%c24-%05d", labCode[0], nextSample_ - 50000 + 3100);
        const auto &descriptions = descriptionsOf(contact.matrix);
        const int id = queueRow(labCode, contact, type, received, std::string(number),
                                descriptions[static_cast<std::size_t>(random.below(6))], rating, status);
        results(id, contact.matrix, rating, random);
    }

    int queueRow(const char *labCode, const DemoContact &contact, const char *type, const DateTime &received,
                 const Cell &sampleNumber, const char *description, int rating, const char *status)
    {
        const int id = nextSample_++;
        access_.run("INSERT INTO \"routing_active_samples\" VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, NULL)",
                    {std::int64_t{id}, std::int64_t{contact.id}, std::string(labCode), std::string(type), received,
                     sampleNumber, std::string(description), std::int64_t{rating}, std::string(status)});
        return id;
    }

    // Normal samples keep every analyte in range; an abnormal one has one
    // result a little above, a severe one a result far above.
    void results(int sampleId, Matrix matrix, int rating, Random &random)
    {
        const auto &analytes = analytesOf(matrix);
        const int flagged = rating == 0 ? -1 : random.below(static_cast<int>(analytes.size()));
        for (std::size_t i = 0; i < analytes.size(); ++i) {
            const Analyte &analyte = analytes[i];
            double value = analyte.low + (analyte.high - analyte.low) * random.below(1000) / 1000.0;
            std::string flag;
            if (static_cast<int>(i) == flagged) {
                const double top = analyte.high > 0 ? analyte.high : 1.0;
                value = rating == 10 ? top * (2.5 + random.below(20) / 10.0) : top * (1.15 + random.below(10) / 40.0);
                flag = rating == 10 ? "HH" : "H";
            }
            access_.run("INSERT INTO \"routing_sample_results\" VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)",
                        {std::int64_t{sampleId}, std::int64_t{static_cast<std::int64_t>(i + 1)},
                         std::string(analyte.name), formatted(value, analyte.decimals), std::string(analyte.units),
                         std::string(analyte.range), flag.empty() ? Cell() : Cell(flag)});
        }
    }

    tsql::Access &access_;
    int nextSample_ = 50001;
};

} // namespace

const std::vector<DemoOperator> &demoOperators() { return kOperators; }

void seedDemoLaboratory(tsql::Access &access)
{
    Seeder seeder(access);
    seeder.laboratories();
    seeder.operators();
    seeder.settings();
    seeder.contacts("KORVEL", kKorvelContacts, 20240304u);
    seeder.contacts("TARNBY", kTarnbyContacts, 20240305u);
    seeder.staleBatch("HC100001", 111);
    seeder.staleBatch("HC100002", 212);
}

} // namespace labsim::lab
