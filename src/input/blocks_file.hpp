#pragma once

// The block spectrum file (.blc) of stress-input format 3: per block, the
// from and to coefficients of load case 1, of load case 2, ..., then the
// number of cycles; 2 * loadCaseCount + 1 values per block.

#include <cstdint>
#include <string>

#include "model/job_tables.hpp"
#include "base/text_input.hpp"

namespace korvanel {

// Reads every value. Fewer than one full block is the fatal stop "Error: at
// least one line with from-to coefficient is needed in the block spectrum";
// otherwise blockCount = floor(count / (2 * loadCaseCount + 1)) in real
// arithmetic and an incomplete last block is ignored. With loadCaseCount 0
// every value is a block of its number of cycles only. Nothing is validated.
// A negative loadCaseCount (which the node stress file already refuses) is
// the node stress file's size stop. Values left after the last full block
// are a warning to `warnings`.
BlockSpectrum readBlockSpectrumFile(const std::string& path, std::int64_t loadCaseCount,
                                    InputWarnings* warnings = nullptr);
BlockSpectrum readBlockSpectrumFile(InputText& in, std::int64_t loadCaseCount);

}  // namespace korvanel
