// Dates on the SQL side are ISO 8601 text, which sorts and compares as the dates do and which
// SQLite's date functions read:
//   date        YYYY-MM-DD
//   date-time   YYYY-MM-DD HH:MM:SS, with .mmm when there are milliseconds
//   time        HH:MM:SS[.mmm]
// The query dataset reads these back into TDateTime for DATE and DATETIME columns.
#pragma once

#include <string>
#include <string_view>

#include "core/date_time.h"

namespace lgoty::sql {

std::string IsoDate(core::TDateTime value);
std::string IsoDateTime(core::TDateTime value);
std::string IsoTime(core::TDateTime value);
// Reads any of the three forms ("T" may separate date and time); false for other text or an
// impossible date.
bool ParseIsoDateTime(std::string_view text, core::TDateTime& out);

}  // namespace lgoty::sql
