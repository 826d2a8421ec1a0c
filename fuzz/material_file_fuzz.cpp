// Fuzz target: the material file reader (.mtr) and the per-node material
// selection over the records it returns.

#include <cstdint>
#include <string>

#include "fuzz_support.hpp"
#include "input/material_file.hpp"
#include "input/material_selection.hpp"

using namespace korvanel;
using korvanel::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    InputText in = inputTextFromString("job/j.mtr", std::string(fuzz::asText(data, size)));
    try {
        std::vector<MaterialRecord> records = readMaterialFile(in);
        require(records.size() <= size, "more records than the file holds");
        // Select each record's material as a node of format 2 and of format 3 would.
        for (const MaterialRecord& r : records) {
            for (std::int64_t format : {2, 3}) {
                MaterialValues values;
                try {
                    selectMaterial(r.materialId, records, format == 3, values);
                } catch (const FatalStop& stop) {
                    fuzz::checkStop(stop);
                }
            }
        }
    } catch (const FatalStop& stop) {
        fuzz::checkStop(stop);
    }
    return 0;
}
