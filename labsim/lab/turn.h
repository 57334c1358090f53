#pragma once

// The turn rule the sibling export service plays by, the same the hard-copy
// service follows: the holder keeps the turn by rewriting its stamps; the other
// takes it over once the holder's last update is Delay minutes old.

#include "labsim/engine.h"

#include <string>

namespace labsim::lab {

// "M/D/YYYY H:MM", 24-hour clock, no seconds.
std::string stampText(const DateTime &moment);

// Whether a holder whose last update carries this stamp has been silent for
// at least the delay. The age is taken on the stamp's full date and time (on
// the time of day alone when the stamp has no date); an unreadable stamp or
// delay never allows a take-over.
bool silentFor(const std::string &lastUpdate, const std::string &delayMinutes, const DateTime &now);

} // namespace labsim::lab
