#include "output/node_damage_files.hpp"

#include "base/text_output.hpp"
#include "stress/stress_measures.hpp"

namespace korvanel {

MaxDamageNode writeNodeDamageFile(OutputChannel& file, const std::vector<NodeEntry>& nodes,
                                  const std::vector<double>& nodeDamage,
                                  const std::vector<double>& lifeRepeats,
                                  const std::vector<StaticFailureCode>& staticFailureCode,
                                  double lifeUnitsPerRepeat) {
    MaxDamageNode maxNode;

    putTextLine(file, " Node ID      Damage        Life           Static Failure");

    for (std::size_t n = 0; n < nodes.size(); ++n) {
        const double damage = nodeDamage[n];
        if (!(maxNode.damage >= damage)) {
            maxNode.damage = damage;
            maxNode.nodeId = nodes[n].nodeId;
            maxNode.lifeRepeats = lifeRepeats[n];
            maxNode.staticFailureCode = staticFailureCode[n];
        }
        putInteger(file, nodes[n].nodeId);
        putZone(file);
        // Per life unit here, per repeat in the summary: the .ndd has always listed it so.
        putFormatted(file, damage / lifeUnitsPerRepeat);
        putZone(file);
        putFormatted(file, lifeRepeats[n] * lifeUnitsPerRepeat);
        putZone(file);
        putInteger(file, fileNumber(staticFailureCode[n]));
        putLineEnd(file);
        file.flushIfLarge();
    }
    return maxNode;
}

std::int64_t mostDamagedNode(const std::vector<double>& nodeDamage) {
    std::int64_t most = -1;
    double damage = MaxDamageNode{}.damage;
    for (std::size_t n = 0; n < nodeDamage.size(); ++n) {
        if (!(damage >= nodeDamage[n])) {
            damage = nodeDamage[n];
            most = static_cast<std::int64_t>(n);
        }
    }
    return most;
}

MaxDamageNode writeNodeDamageFile(const std::string& path, const std::vector<NodeEntry>& nodes,
                                  const std::vector<double>& nodeDamage,
                                  const std::vector<double>& lifeRepeats,
                                  const std::vector<StaticFailureCode>& staticFailureCode,
                                  double lifeUnitsPerRepeat, char decimalSeparator) {
    MaxDamageNode maxNode;
    writeOutputFile(path, decimalSeparator, [&](OutputChannel& file) {
        maxNode = writeNodeDamageFile(file, nodes, nodeDamage, lifeRepeats, staticFailureCode,
                                      lifeUnitsPerRepeat);
    });
    return maxNode;
}

void writeLogLifeFile(OutputChannel& file, const std::vector<NodeEntry>& nodes,
                      const std::vector<double>& lifeRepeats, double lifeUnitsPerRepeat) {
    for (std::size_t n = 0; n < nodes.size(); ++n) {
        const double life = lifeRepeats[n] * lifeUnitsPerRepeat;
        // The ID as a real in exponent form, as the .ans has always held it:
        // two reals per line for the contour plots that read it.
        putFormatted(file, static_cast<double>(nodes[n].nodeId));
        putText(file, " ");
        putFormatted(file, decimalLog(life));
        putLineEnd(file);
        file.flushIfLarge();
    }
}

void writeLogLifeFile(const std::string& path, const std::vector<NodeEntry>& nodes,
                      const std::vector<double>& lifeRepeats, double lifeUnitsPerRepeat,
                      char decimalSeparator) {
    writeOutputFile(path, decimalSeparator, [&](OutputChannel& file) {
        writeLogLifeFile(file, nodes, lifeRepeats, lifeUnitsPerRepeat);
    });
}

}  // namespace korvanel
