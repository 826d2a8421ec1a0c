#pragma once

#include "model/analysis_parameters.hpp"
#include "base/text_input.hpp"

namespace korvanel {

// Reads the nineteen records: each is one or two whole-line reads (comment
// lines) followed by one read of the record's values. Text left after the
// last value of a line is taken by the next whole-line read, which shifts
// the layout by one line, exactly as a positional reader does.
AnalysisParameters readAnalysisParameters(InputText& in);

// The ten checks in their order; the first that fails is a fatal stop.
void checkAnalysisParameters(const AnalysisParameters& p);

}  // namespace korvanel
