#include "input/material_file.hpp"

#include "base/value_warnings.hpp"

namespace korvanel {

std::vector<MaterialRecord> readMaterialFile(const std::string& path, InputWarnings* warnings) {
    return readInputFile(path, warnings, [&](InputText& in) { return readMaterialFile(in); });
}

std::vector<MaterialRecord> readMaterialFile(InputText& in) {
    skipByteOrderMark(in);
    readWholeLine(in);
    readWholeLine(in);
    std::vector<MaterialRecord> records;
    std::size_t lastRecordStart = in.position();
    while (!atEnd(in)) {
        lastRecordStart = in.position();
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
    warnIfLastGroupShort(in, lastRecordStart, static_cast<std::int64_t>(records.size()), 17,
                         "material record");
    return records;
}

}  // namespace korvanel
