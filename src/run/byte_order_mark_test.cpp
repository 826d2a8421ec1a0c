// A UTF-8 byte-order mark at the start of any input file reads as if it
// were not there, for every reader.

#include <gtest/gtest.h>

#include <functional>

#include "base/test_directory.hpp"

#include "input/block_group_file.hpp"
#include "input/blocks_file.hpp"
#include "input/combination_file.hpp"
#include "input/material_file.hpp"
#include "input/node_stress_file.hpp"
#include "input/stress_history_file.hpp"
#include "run/analysis_parameters_file.hpp"
#include "run/job_location.hpp"

namespace korvanel {
namespace {

const std::string kMark = "\xEF\xBB\xBF";

struct Reader {
    const char* file;
    std::string text;   // starts with a value, where the mark would hurt
    // What the reader read, as text to compare.
    std::function<std::string(InputText&)> read;
};

std::string values(const std::vector<double>& v) {
    std::string out;
    for (double x : v) out += std::to_string(x) + " ";
    return out;
}

TEST(ByteOrderMark, EveryReaderSkipsItAtTheStartOfTheFile) {
    std::string parameters;
    for (int record = 1; record <= 19; ++record)
        parameters += "comment\r\n" + std::string(record >= 6 && record <= 8 ? "comment\r\n" : "") +
                      std::to_string(record) + "\r\n";
    const Reader readers[] = {
        {".inp", parameters,
         [](InputText& in) {
             AnalysisParameters p = readAnalysisParameters(in);
             return std::to_string(p.material.yieldStress) + " " + std::to_string(p.lifeUnitsPerRepeat);
         }},
        {".sig", "7, 1, 2, 3, 4, 5\r\n6, 5, 4, 3, 2, 1\r\n",
         [](InputText& in) {
             StressHistoryFile f = readStressHistoryFile(in);
             return std::to_string(f.states.size()) + " " + std::to_string(f.states[0][0]);
         }},
        {".btf", "3, 4\r\n",
         [](InputText& in) { return std::to_string(readBlockGroupFile(in).at(0).firstBlock); }},
        {".mtr", "heading\r\nheading\r\n7, 355, 210000, 510, 20, 1, 1, 2, 3, 4, 1, 1, 600, 0, 0, 0, 0\r\n",
         [](InputText& in) {
             auto records = readMaterialFile(in);
             return std::to_string(records.size()) + " " + std::to_string(records.at(0).materialId);
         }},
        {".nds", "10, 1, 1, 2, 3, 4, 5, 6\r\n10, 1, 6, 5, 4, 3, 2, 1\r\n",
         [](InputText& in) {
             NodeStressTable t = readNodeStressFile(in, 1, 1);
             return std::to_string(t.nodes.at(0).nodeId) + " " + std::to_string(t.baseStress.at(0)[0]);
         }},
        {".cmb", "0.5, 1\r\n", [](InputText& in) { return values(readCombinationFile(in, 1).factor); }},
        {".blc", "0.5, 1, 100\r\n",
         [](InputText& in) { return values(readBlockSpectrumFile(in, 1).blockFrom); }},
    };
    for (const Reader& reader : readers) {
        InputText plain = inputTextFromString(reader.file, reader.text);
        InputText marked = inputTextFromString(reader.file, kMark + reader.text);
        EXPECT_EQ(reader.read(marked), reader.read(plain)) << reader.file;
    }

    TestDirectory dir;
    writeBytes(dir / "korvanel.inp", kMark + "job\r\nj\r\n");
    JobLocation job = readJobControlFile(dir / "korvanel.inp");
    EXPECT_EQ(job.directory, "job");
    EXPECT_EQ(job.name, "j");
}

}  // namespace
}  // namespace korvanel
