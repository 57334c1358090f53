#pragma once

#include "labsim/tsql/catalog.h"
#include "labsim/tsql/database.h"

namespace labsim::lab {

// Fills empty tables with the demo laboratory: two laboratories (KORVEL,
// TARNBY) with their operators, client contacts, waiting batches, analyses
// and the shared settings rows. The same data every time, apart from the one
// stale open batch per laboratory, which is dated an hour before now.
void seedDemoLaboratory(tsql::Access &access);

// The demo laboratory's operators: password, rights, lab code, employee number.
struct DemoOperator {
    const char *password;
    int rights;
    const char *labCode;
    int employeeNumber;
    const char *name;
};
const std::vector<DemoOperator> &demoOperators();

} // namespace labsim::lab
