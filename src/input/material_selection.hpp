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
// other than Palmgren or Weibull throws FatalStop, worded for a blocks
// analysis or for a history.
void selectMaterial(std::int64_t nodeMaterialId, const std::vector<MaterialRecord>& records,
                    bool blocksAnalysis, MaterialValues& inEffect);

// Applies one material record to the values in effect: the general
// material and mean-stress values, and the S-N parameters of the record's
// own curve type (those of the other type keep their values; a record of
// an unusable type sets the Weibull ones, as the parameters read in order).
void applyMaterialRecord(const MaterialRecord& record, MaterialValues& inEffect);

}  // namespace korvanel
