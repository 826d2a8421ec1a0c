#include "input/material_file.hpp"

namespace korvanel {

std::vector<MaterialRecord> readMaterialFile(const std::string& path) {
    return readInputFile(path, [&](InputText& in) { return readMaterialFile(in); });
}

std::vector<MaterialRecord> readMaterialFile(InputText& in) {
    readWholeLine(in);
    readWholeLine(in);
    std::vector<MaterialRecord> records;
    while (!atEnd(in)) {
        MaterialRecord r;
        r.materialId = readInteger(in);
        r.yieldStress = readReal(in);
        r.youngsModulus = readReal(in);
        r.staticStrength = readReal(in);
        r.strainAtFailurePercent = readReal(in);
        r.snCurveType = SnCurveType{readInteger(in)};
        for (double& p : r.snParameters) p = readReal(in);
        r.goodmanExponent = readReal(in);
        r.goodmanMethod = GoodmanMethod{readInteger(in)};
        r.goodmanSmMax = readReal(in);
        for (double& x : r.multilinearExtras) x = readReal(in);
        records.push_back(r);
    }
    return records;
}

}  // namespace korvanel
