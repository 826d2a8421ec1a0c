#pragma once

// The material file (.mtr): two heading lines, then records of 17 values
// (the fields of MaterialRecord in order) until the end of the file.

#include <string>
#include <vector>

#include "model/job_tables.hpp"
#include "base/text_input.hpp"

namespace korvanel {

// Skips the two heading lines as whole lines, then reads every record.
// A record cut short by the end of the file counts, its missing values 0.
// No value is validated here; the curve type is checked when a node uses
// the record.
// A record cut short is a warning to `warnings`.
std::vector<MaterialRecord> readMaterialFile(const std::string& path,
                                             InputWarnings* warnings = nullptr);
std::vector<MaterialRecord> readMaterialFile(InputText& in);

}  // namespace korvanel
