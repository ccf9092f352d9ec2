// The session helper's watch over the game's standard error: a sanitizer report there
// must reach the test program even when the test never looks at the console.
#include "tools/session/GameSession.h"

#include "tests/support/ScratchDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// Runs a stand-in for the game, a shell script, to its end; returns what the helper
// made of its standard error.
std::string reportOf(const std::string& script, std::vector<std::string> environment = {},
                     std::string* errors = nullptr)
{
    testfs::ScratchDir dir;
    dir.write("game.sh", "#!/bin/sh\n" + script + "\n");
    std::filesystem::permissions(dir.path() / "game.sh", std::filesystem::perms::owner_all);
    session::SessionOptions o;
    o.executable = dir.file("game.sh");
    o.workDir = dir.path().string();
    o.environment = std::move(environment);
    session::GameSession game(o);
    EXPECT_TRUE(game.start());
    EXPECT_EQ(game.waitForExit(10), 0);
    if (errors)
        *errors = game.standardError();
    return game.sanitizerReport();
}

std::string writing(const std::string& errors) { return "printf '%s' '" + errors + "' >&2"; }

} // namespace

TEST(GameSessionReports, SanitizerReportsAreFoundFromTheirFirstLineAndKeptAfterTheSession)
{
    const size_t before = session::sanitizerReports().size();
    EXPECT_EQ(reportOf(writing("rottool.bmp: getRAWfromDIB file access error\n")), "")
        << "the loaders' own messages are no report";
    EXPECT_EQ(session::sanitizerReports().size(), before);

    const std::string asan = "==42==ERROR: AddressSanitizer: heap-buffer-overflow on address 0x1\n"
                             "    #0 0x1 in readVoxels\n";
    EXPECT_EQ(reportOf(writing("first line\n" + asan)), asan);
    ASSERT_EQ(session::sanitizerReports().size(), before + 1);
    EXPECT_EQ(session::sanitizerReports().back(), asan);

    for (const std::string report :
         {"==7==ERROR: LeakSanitizer: detected memory leaks\n", "app/Scene.cpp:10:5: runtime error: signed integer overflow\n"})
        EXPECT_EQ(reportOf(writing(report)), report);
}

TEST(GameSessionReports, EnvironmentEntriesReachOnlyTheGame)
{
    std::string errors;
    reportOf("printf '%s' \"$QUILLET_PROBE\" >&2", {"QUILLET_PROBE=set for the game"}, &errors);
    EXPECT_EQ(errors, "set for the game");
    EXPECT_EQ(std::getenv("QUILLET_PROBE"), nullptr);
}
