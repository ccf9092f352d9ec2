// The session helper's watch over the game's standard error: a sanitizer report there
// must reach the test program even when the test never looks at the console.
#include "tools/session/GameSession.h"

#include "tests/support/ScratchDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// A stand-in for the game: writes `errors` to standard error and ends.
std::string fakeGame(const testfs::ScratchDir& dir, const std::string& errors)
{
    dir.write("game.sh", "#!/bin/sh\nprintf '%s' '" + errors + "' >&2\n");
    std::filesystem::permissions(dir.path() / "game.sh", std::filesystem::perms::owner_all);
    return dir.file("game.sh");
}

session::SessionOptions optionsFor(const std::string& executable, const testfs::ScratchDir& dir)
{
    session::SessionOptions o;
    o.executable = executable;
    o.workDir = dir.path().string();
    return o;
}

} // namespace

TEST(GameSessionReports, SanitizerReportsAreFoundFromTheirFirstLineAndKeptAfterTheSession)
{
    testfs::ScratchDir dir;
    const size_t before = session::sanitizerReports().size();

    {
        session::GameSession game(optionsFor(fakeGame(dir, "rottool.bmp: getRAWfromDIB file access error\n"), dir));
        ASSERT_TRUE(game.start());
        game.waitForExit(10);
        EXPECT_EQ(game.sanitizerReport(), "") << "the loaders' own messages are no report";
    }
    EXPECT_EQ(session::sanitizerReports().size(), before);

    const std::string asan = "==42==ERROR: AddressSanitizer: heap-buffer-overflow on address 0x1\n"
                             "    #0 0x1 in readVoxels\n";
    {
        session::GameSession game(optionsFor(fakeGame(dir, "first line\n" + asan), dir));
        ASSERT_TRUE(game.start());
        game.waitForExit(10);
        EXPECT_EQ(game.sanitizerReport(), asan);
    }
    ASSERT_EQ(session::sanitizerReports().size(), before + 1);
    EXPECT_EQ(session::sanitizerReports().back(), asan);

    for (const std::string report :
         {"==7==ERROR: LeakSanitizer: detected memory leaks\n", "app/Scene.cpp:10:5: runtime error: signed integer overflow\n"}) {
        session::GameSession game(optionsFor(fakeGame(dir, report), dir));
        ASSERT_TRUE(game.start());
        game.waitForExit(10);
        EXPECT_EQ(game.sanitizerReport(), report);
    }
}

TEST(GameSessionReports, EnvironmentEntriesReachOnlyTheGame)
{
    testfs::ScratchDir dir;
    dir.write("game.sh", "#!/bin/sh\nprintf '%s' \"$QUILLET_PROBE\" >&2\n");
    std::filesystem::permissions(dir.path() / "game.sh", std::filesystem::perms::owner_all);
    session::SessionOptions o = optionsFor(dir.file("game.sh"), dir);
    o.environment = {"QUILLET_PROBE=set for the game"};
    session::GameSession game(o);
    ASSERT_TRUE(game.start());
    EXPECT_EQ(game.waitForExit(10), 0);
    EXPECT_EQ(game.standardError(), "set for the game");
    EXPECT_EQ(std::getenv("QUILLET_PROBE"), nullptr);
}
