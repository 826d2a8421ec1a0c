#pragma once

// Per-node material selection when the job has multiple materials.

#include <cstdint>
#include <vector>

#include "model/job_tables.hpp"
#include "model/analysis_parameters.hpp"

namespace korvanel {

// Walks all records in file order; every record whose materialId equals
// nodeMaterialId is copied into `inEffect`, so the last one wins and a node
// without a matching record keeps the values in effect before it. Only the
// S-N parameters of the record's own curve type are copied; those of the
// other type keep their values.
// The curve type of each matching record is checked as it is copied; a type
// other than 1 or 2 throws FatalStop, worded by the stress-input format.
void selectMaterial(std::int64_t nodeMaterialId, const std::vector<MaterialRecord>& records,
                    std::int64_t stressInputFormat, MaterialValues& inEffect);

}  // namespace korvanel
