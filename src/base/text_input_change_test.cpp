// Input files that change while they are read, devices, and the lock of a
// file being read.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

#include <gtest/gtest.h>

#include "base/fatal_stop.hpp"
#include "base/file_lock.hpp"
#include "base/input_warnings.hpp"
#include "base/signal_guard.hpp"
#include "base/test_directory.hpp"
#include "base/text_input.hpp"

namespace korvanel {
namespace {

// A file written an hour ago, so that a rewrite now changes its time.
std::string oldFile(const TestDirectory& dir, const std::string& bytes) {
    const std::string path = dir / "j.nds";
    writeBytes(path, bytes);
    timeval hourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
    ::utimes(path.c_str(), hourAgo);
    return path;
}

// Waits until a change made now gives the file another status-change time
// than it has: file times follow a clock that may advance in steps of
// milliseconds, so a change right after the file was written could keep
// the time it had.
void nextStatusTime(const std::string& path) {
    struct stat file {};
    ::stat(path.c_str(), &file);
    const std::string probe = path + ".probe";
    writeBytes(probe, "");
    for (struct stat now {}; ::stat(probe.c_str(), &now) == 0;) {
        if (now.st_ctim.tv_sec != file.st_ctim.tv_sec || now.st_ctim.tv_nsec != file.st_ctim.tv_nsec)
            break;
        ::utimes(probe.c_str(), nullptr);
    }
    std::remove(probe.c_str());
}

std::string changedMessage(const std::string& path) {
    return "The input file " + path + " changed while it was being read";
}

TEST(InputChange, SizeTimesOrIdentityChangedStopsTheRun) {
    const auto writeAt = [](const std::string& p, const char* mode, const char* text) {
        std::FILE* f = std::fopen(p.c_str(), mode);
        std::fputs(text, f);
        std::fclose(f);
    };
    const std::function<void(const std::string&)> changes[] = {
        [&](const std::string& p) { writeAt(p, "ab", "7"); },   // size
        [&](const std::string& p) { writeAt(p, "r+b", "9"); },  // time, same size
        [&](const std::string& p) {  // same size, the time put back
            struct stat before {};
            ::stat(p.c_str(), &before);
            writeAt(p, "r+b", "9");
            const timespec times[2] = {before.st_atim, before.st_mtim};
            ::utimensat(AT_FDCWD, p.c_str(), times, 0);
        },
        [](const std::string& p) {                              // another file at the name
            writeBytes(p + ".new", "1, 2\r\n");
            std::rename((p + ".new").c_str(), p.c_str());
        },
        [](const std::string& p) { std::remove(p.c_str()); },   // no file at the name
    };
    for (const auto& change : changes) {
        TestDirectory dir;
        const std::string path = oldFile(dir, "1, 2\r\n");
        InputText in = openInputText(path);
        EXPECT_NO_THROW(in.stopIfChanged());
        nextStatusTime(path);
        change(path);
        try {
            in.stopIfChanged();
            ADD_FAILURE() << "no stop";
        } catch (const FatalStop& stop) {
            EXPECT_EQ(stop.consoleLines.at(0), changedMessage(path));
        }
    }
}

// The change is the stop, also when the reader stopped on what it found.
TEST(InputChange, ChangeComesBeforeTheReadersOwnStop) {
    TestDirectory dir;
    const std::string path = oldFile(dir, "1, 2\r\n");
    try {
        readInputFile(path, [&](InputText&) -> int {
            ::truncate(path.c_str(), 1);
            throw fatalStop("the reader's own stop");
        });
        FAIL() << "no stop";
    } catch (const FatalStop& stop) {
        EXPECT_EQ(stop.consoleLines.at(0), changedMessage(path));
    }
    EXPECT_EQ(readInputFile(path, [](InputText& in) { return readInteger(in); }), 1);
}

// A mapped file cut short under the reader: the missing part reads as zeros
// instead of ending the process, and the file counts as changed.
TEST(InputChange, FileCutShortWhileMappedReadsOnAndCountsAsChanged) {
    installSignalHandlers();
    TestDirectory dir;
    std::string text;
    for (int i = 0; i < 20000; ++i) text += "1.5, 2.5\r\n";
    const std::string path = oldFile(dir, text);
    InputText in = openInputText(path);
    ASSERT_EQ(::truncate(path.c_str(), 0), 0);
    const std::vector<double> values = readAllReals(in);
    EXPECT_GE(values.size(), 1u);
    EXPECT_THROW(in.stopIfChanged(), FatalStop);
}

// The warnings about the zeros of the cut part are taken back: the stop
// comes alone.
TEST(InputChange, CutFileStopsWithoutItsWarnings) {
    installSignalHandlers();
    TestDirectory dir;
    std::string text;
    for (int i = 0; i < 20000; ++i) text += "1.5, 2.5\r\n";
    const std::string path = oldFile(dir, text);
    InputWarnings warnings;
    addWarning(warnings, WarningKind::notANumber, "an earlier file's warning");
    try {
        readInputFile(path, [&](InputText& in) {
            in.setWarnings(&warnings);
            EXPECT_EQ(::truncate(path.c_str(), 4000), 0);
            return readAllReals(in);
        });
        FAIL() << "no stop";
    } catch (const FatalStop& stop) {
        EXPECT_EQ(stop.consoleLines.at(0), changedMessage(path));
    }
    EXPECT_EQ(warnings.pending, std::vector<std::string>{"korvanel: warning: an earlier file's warning"});
    EXPECT_EQ(warningCount(warnings), 1);
}

TEST(InputChange, DevicesCannotBeOpened) {
    for (const char* device : {"/dev/null", "/dev/zero"}) {
        try {
            openInputText(device);
            ADD_FAILURE() << device;
        } catch (const FatalStop& stop) {
            EXPECT_EQ(stop.consoleLines.at(0), std::string("Cannot open the input file ") + device);
        }
    }
}

// The lock belongs to each opening of the file: a second opening is refused
// while the first holds it, and takes it once it is given back.
TEST(FileLock, SecondOpeningIsRefusedWhileTheFirstHoldsIt) {
    TestDirectory dir;
    const std::string path = oldFile(dir, "x");
    InputText second = openInputText(path);
    {
        FileLock held;
        {
            InputText first = openInputText(path);
            held = lockExclusively(first);
        }  // the lock outlives the reading of the file
        EXPECT_FALSE(held.heldElsewhere());
        EXPECT_TRUE(lockExclusively(second).heldElsewhere());
    }
    EXPECT_FALSE(lockExclusively(second).heldElsewhere());
    EXPECT_FALSE(lockExclusively(inputTextFromString("t", "")).heldElsewhere());
}

}  // namespace
}  // namespace korvanel
