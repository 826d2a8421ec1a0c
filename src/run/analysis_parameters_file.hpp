#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "model/analysis_parameters.hpp"
#include "base/input_warnings.hpp"
#include "base/text_input.hpp"

namespace korvanel {

// Where a value of the parameter file was read, for messages: its line
// (0 when it was read at the end of the file), its text and what it read as.
struct ValueOrigin {
    std::int64_t line = 0;
    std::string text;
    std::string readAs;
};

// The origin of every value, by record (1 to 19) and position in the record
// (from 1).
struct ParameterOrigins {
    std::string path;
    std::array<std::array<ValueOrigin, 9>, 20> values;
};

// Reads the nineteen records: each is one or two whole-line reads (comment
// lines) followed by one read of the record's values. Text left after the
// last value of a line is taken by the next whole-line read, which shifts
// the layout by one line, exactly as a positional reader does.
// With a warnings collector on `in`, the signs of such a shift are warnings:
// text (or a trailing comma) after a record's values, a comment line that
// holds only numbers, a file that ends before record 19, and a value that
// is not wholly a number (named by its record). `origins`, when given,
// receives where each value was read.
AnalysisParameters readAnalysisParameters(InputText& in, ParameterOrigins* origins = nullptr);

// The ten checks in their order; the first that fails is a fatal stop. With
// `origins`, its detail names the line and the text of the value refused.
void checkAnalysisParameters(const AnalysisParameters& p,
                             const ParameterOrigins* origins = nullptr);

// Warnings about values that pass the checks yet make the results mean
// little: life units per repeat of 0 or below.
void warnAboutParameters(const AnalysisParameters& p, const ParameterOrigins& origins,
                         InputWarnings& warnings);

}  // namespace korvanel
