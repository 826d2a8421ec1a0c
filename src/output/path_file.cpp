#include "output/path_file.hpp"

#include "base/text_output.hpp"

namespace korvanel {

void writePathFile(const std::string& path, std::span<const Stress6> correctedPath,
                   char decimalSeparator) {
    OutputChannel file = createOutputFile(path, decimalSeparator);
    for (const Stress6& point : correctedPath) {
        putWriteStatement(file, point.s);
        flushIfLarge(file);
    }
    closeOutputFile(file);
}

}  // namespace korvanel
