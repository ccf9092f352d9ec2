// The session helper that the end-to-end tests stand on: a sanitizer report on the game's
// standard error reaches the test program even when no test looks at the console.
#include "tools/session/GameSession.h"

#include "tests/support/ScratchDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace {

// Runs a shell script in the game's place to its end: the report the helper found and
// the whole standard error.
std::pair<std::string, std::string> run(const std::string& script, std::vector<std::string> environment = {})
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
    return {game.sanitizerReport(), game.standardError()};
}

} // namespace

TEST(GameSessionReports, SanitizerReportsAreFoundFromTheirFirstLineAndKeptAfterTheSession)
{
    const std::string asan = "==42==ERROR: AddressSanitizer: heap-buffer-overflow on address 0x1\n    #0 0x1 in f\n";
    const std::string leak = "==7==ERROR: LeakSanitizer: detected memory leaks\n";
    const std::string ub = "app/Scene.cpp:10:5: runtime error: signed integer overflow\n";
    const std::pair<std::string, std::string> rows[] = { // standard error, the report in it
        {"rottool.bmp: getRAWfromDIB file access error\n", ""}, {"first line\n" + asan, asan}, {leak, leak},
        {"before\n" + ub + "after\n", ub + "after\n"}};
    for (const auto& [errors, report] : rows) {
        const size_t before = session::sanitizerReports().size();
        EXPECT_EQ(run("printf '%s' '" + errors + "' >&2").first, report);
        ASSERT_EQ(session::sanitizerReports().size(), before + !report.empty());
        EXPECT_TRUE(report.empty() || session::sanitizerReports().back() == report);
    }
}

TEST(GameSessionReports, EnvironmentReachesOnlyTheGameAndTheCaptureFilesGoWithTheSession)
{
    EXPECT_EQ(run("printf '%s' \"$QUILLET_PROBE\" >&2", {"QUILLET_PROBE=set for the game"}).second, "set for the game");
    EXPECT_EQ(std::getenv("QUILLET_PROBE"), nullptr);
    // Every session used to leave its console files behind.
    std::istringstream paths(run("readlink /proc/$$/fd/1 /proc/$$/fd/2 >&2").second);
    int files = 0;
    for (std::string path; std::getline(paths, path); ++files)
        EXPECT_TRUE(path.rfind("/tmp/", 0) == 0 && !std::filesystem::exists(path)) << path;
    EXPECT_EQ(files, 2);
}
