// Display text of values, as SQL Server clients show them.
#pragma once

#include "engine/SqlType.h"
#include "engine/Value.h"

#include <string>

namespace quillmere::engine {

// datetime -> "1986-10-01 00:00:00.000", numeric(38,6) -> "75.500000",
// money -> 4 decimals, bit -> "1"/"0", char(n) -> as stored (padded), NULL -> "NULL"
// (nullText lets a grid show an empty cell instead).
std::string formatValue(const ValueView& v, const SqlType& type, const char* nullText = "NULL");

}  // namespace quillmere::engine
