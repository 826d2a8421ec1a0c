#include "output/path_file.hpp"

namespace korvanel {

void writePathFile(OutputChannel& file, std::span<const Stress6> correctedPath) {
    for (const Stress6& point : correctedPath) {
        putWriteStatement(file, point.s);
        file.flushIfLarge();
    }
}

void writePathFile(const std::string& path, std::span<const Stress6> correctedPath,
                   char decimalSeparator) {
    writeOutputFile(path, decimalSeparator,
                    [&](OutputChannel& file) { writePathFile(file, correctedPath); });
}

}  // namespace korvanel
