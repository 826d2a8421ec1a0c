#pragma once

// Warnings about what a run read: a number field whose text is not wholly a
// number, signs that the parameter file's records have shifted, a data file
// whose values are not a whole number of groups, and the like. They go to
// standard error only and never change a result, the console or a file.
//
// The collector is a plain record passed along the read path (an input text
// holds a pointer to it) and to the node loop, which reports per-node
// findings in node order. Only the first few warnings of each kind are kept
// for showing; the rest are counted.

#include <array>
#include <cstdint>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korvanel {

enum class WarningKind : int {
    notANumber,             // a number field whose text is not wholly a number, or is empty
    shiftedLayout,          // the parameter file's records look shifted
    incompleteGroup,        // a data file's values are not a whole number of groups
    materialWithoutRecord,  // a node's material ID has no record in the .mtr
    lifeUnits,              // life units per repeat of 0 or below
    unloadedNode,           // a node given no damage under --allow-unloaded-nodes (never a stop)
    lineShape,              // a line of a one-group-per-line file with another number of values
    units,                  // stresses of one job that differ by orders of magnitude
};
inline constexpr std::size_t kWarningKinds = 8;

// Warnings of one kind shown before the rest are only counted.
inline constexpr std::int64_t kWarningsShownPerKind = 20;

struct InputWarnings {
    // The first warning (of any kind but unloadedNode) is the fatal stop
    // whose single line is the warning's text.
    bool strict = false;
    std::array<std::int64_t, kWarningKinds> counts{};
    std::vector<std::string> pending;  // lines to show, without the line end

    // Where the line count of the text read last stopped, so that placing
    // many warnings in one large file counts its lines once.
    const char* countedText = nullptr;
    std::size_t countedTo = 0;
    std::int64_t linesBefore = 0;
};

// True when a warning of `kind` made now would be shown (or stop the run):
// only then is its text worth making.
bool warningShown(const InputWarnings& w, WarningKind kind);

// Counts a warning of `kind` and keeps its text when it is shown. With
// `strict` it is the fatal stop "<text>" instead.
void addWarning(InputWarnings& w, WarningKind kind, const std::string& text);

// The same, making the text only when it is needed.
template <class MakeText>
void warn(InputWarnings& w, WarningKind kind, MakeText&& makeText) {
    if (warningShown(w, kind))
        addWarning(w, kind, std::forward<MakeText>(makeText)());
    else
        ++w.counts[static_cast<std::size_t>(kind)];
}

// The lines kept since the last call, each "korvanel: warning: <text>"
// ("korvanel: <text>" for unloaded nodes), and forgets them.
std::vector<std::string> takeWarningLines(InputWarnings& w);

// For each kind with more warnings than were shown, the line
// "korvanel: warning: ... and N more <what>" (unloaded nodes have a total
// line of their own).
std::vector<std::string> moreWarningsLines(const InputWarnings& w);

// What the collector held at a moment, so that the warnings made since can
// be taken back (those of a file that turned out to have changed while it
// was read: its stop comes alone).
struct WarningsMark {
    std::size_t pending = 0;
    std::array<std::int64_t, kWarningKinds> counts{};
};
WarningsMark markWarnings(const InputWarnings& w);
void dropWarningsSince(InputWarnings& w, const WarningsMark& mark);

// Warnings of every kind but unloadedNode.
std::int64_t warningCount(const InputWarnings& w);

// The last line of standard error of a run that had warnings: how many of
// which kinds, and how to see them again ("korvanel: N warnings in all
// (...)..."); empty without warnings.
std::string warningTallyLine(const InputWarnings& w);

// A text found in a file, as a message shows it: in single quotes, bytes
// other than printable ASCII as \xNN, cut after 40 characters ("...").
std::string quotedForMessage(std::string_view text);

}  // namespace korvanel
