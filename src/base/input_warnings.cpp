#include "base/input_warnings.hpp"

#include <cstdio>

#include "base/fatal_stop.hpp"

namespace korvanel {
namespace {

std::size_t index(WarningKind kind) { return static_cast<std::size_t>(kind); }

// What the closing count of each kind counts.
const char* const kCountedAs[kWarningKinds] = {
    "values that are not wholly numbers",
    "signs of shifted records in the parameter file",
    "files whose values are not a whole number of groups",
    "material IDs without a record",
    "warnings about the life units",
    "",  // unloaded nodes: the node loop reports their total itself
    "lines whose number of values is not that of a group",
    "values whose units do not fit together",
};

// What the tally calls one warning of each kind, and several.
const char* const kTallyNames[kWarningKinds][2] = {
    {"value that is not wholly a number", "values that are not wholly numbers"},
    {"sign of shifted records in the parameter file",
     "signs of shifted records in the parameter file"},
    {"file whose values are not a whole number of groups",
     "files whose values are not a whole number of groups"},
    {"material ID without a record", "material IDs without a record"},
    {"warning about the life units", "warnings about the life units"},
    {"", ""},
    {"line whose number of values is not that of a group",
     "lines whose number of values is not that of a group"},
    {"pair of values whose units do not fit together",
     "pairs of values whose units do not fit together"},
};

}  // namespace

bool warningShown(const InputWarnings& w, WarningKind kind) {
    return w.counts[index(kind)] < kWarningsShownPerKind ||
           (w.strict && kind != WarningKind::unloadedNode);
}

void addWarning(InputWarnings& w, WarningKind kind, const std::string& text) {
    if (w.strict && kind != WarningKind::unloadedNode) throw fatalStop(text);
    if (w.counts[index(kind)]++ >= kWarningsShownPerKind) return;
    const char* prefix = kind == WarningKind::unloadedNode ? "korvanel: " : "korvanel: warning: ";
    w.pending.push_back(prefix + text);
}

std::vector<std::string> takeWarningLines(InputWarnings& w) {
    std::vector<std::string> lines;
    lines.swap(w.pending);
    return lines;
}

std::vector<std::string> moreWarningsLines(const InputWarnings& w) {
    std::vector<std::string> lines;
    for (std::size_t k = 0; k < kWarningKinds; ++k) {
        if (w.counts[k] <= kWarningsShownPerKind || k == index(WarningKind::unloadedNode)) continue;
        lines.push_back(std::string("korvanel: warning: ... and ") +
                        std::to_string(w.counts[k] - kWarningsShownPerKind) + " more " +
                        kCountedAs[k]);
    }
    return lines;
}

WarningsMark markWarnings(const InputWarnings& w) { return {w.pending.size(), w.counts}; }

void dropWarningsSince(InputWarnings& w, const WarningsMark& mark) {
    if (w.pending.size() > mark.pending) w.pending.resize(mark.pending);
    w.counts = mark.counts;
}

std::int64_t warningCount(const InputWarnings& w) {
    std::int64_t total = 0;
    for (std::size_t k = 0; k < kWarningKinds; ++k)
        if (k != index(WarningKind::unloadedNode)) total += w.counts[k];
    return total;
}

std::string warningTallyLine(const InputWarnings& w) {
    const std::int64_t total = warningCount(w);
    if (total == 0) return {};
    std::string kinds;
    for (std::size_t k = 0; k < kWarningKinds; ++k) {
        if (w.counts[k] == 0 || k == index(WarningKind::unloadedNode)) continue;
        if (!kinds.empty()) kinds += ", ";
        kinds += std::to_string(w.counts[k]) + " " + kTallyNames[k][w.counts[k] == 1 ? 0 : 1];
    }
    return "korvanel: " + std::to_string(total) + (total == 1 ? " warning" : " warnings") +
           " in all (" + kinds +
           "): what was read, and so the results, may not be what was meant; see the warnings "
           "above, or list them again with korvanel --check, which analyses nothing and writes "
           "no file";
}

std::string quotedForMessage(std::string_view text) {
    constexpr std::size_t kShown = 40;
    std::string out = "'";
    for (std::size_t i = 0; i < text.size() && i < kShown; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7f) {
            out.push_back(static_cast<char>(c));
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    if (text.size() > kShown) out += "...";
    out += "'";
    return out;
}

}  // namespace korvanel
