// The commands the three READMEs give a newcomer: every program and file they name is
// there after this build, the quick ones run as written and exit 0, and the benchmark
// table names every benchmark.
#include "tests/support/ScratchDir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kSource = QUILLET_SOURCE_DIR, kBuild = QUILLET_BINARY_DIR;
const bool kWithBench = QUILLET_WITH_BENCH; // the sanitizer build leaves them out

// The lines of ```sh blocks and of indented blocks, and inline code that starts with a
// build folder or "./"; comments cut off.
std::vector<std::string> commands(const std::string& markdown)
{
    std::vector<std::string> found;
    std::istringstream in(markdown);
    bool fenced = false, shell = false, indented = false, blank = true;
    const std::regex inlineCommand("`((?:build[-\\w]*/|\\./)[^`]*)`");
    for (std::string line; std::getline(in, line); blank = line.find_first_not_of(' ') == line.npos) {
        if (line.rfind("```", 0) == 0) {
            shell = !fenced && line == "```sh";
            fenced = !fenced;
            continue;
        }
        indented = !fenced && line.rfind("    ", 0) == 0 && (blank || indented) && line.find_first_not_of(' ') != line.npos;
        std::string command = fenced ? (shell ? line : "") : indented ? line.substr(4) : "";
        for (std::sregex_iterator m(line.begin(), line.end(), inlineCommand), end; !fenced && !indented && m != end; ++m)
            found.push_back((*m)[1]);
        command = command.substr(0, command.find(" #"));
        command.erase(command.find_last_not_of(' ') + 1);
        if (!command.empty())
            found.push_back(command);
    }
    return found;
}

// The files a command names that this build should have, "build/" read as this build's
// folder. Other build folders come from the later stages of ./test.sh.
std::vector<fs::path> namedPaths(const std::string& command)
{
    std::vector<fs::path> paths;
    fs::path cwd = kSource;
    std::istringstream words(command);
    for (std::string word, previous; words >> word; previous = word) {
        if (word[0] == '-')
            word = word.find('=') == word.npos ? "" : word.substr(word.find('=') + 1);
        if (word.find('/') == word.npos || word.find_first_of("<*$") != word.npos)
            continue;
        const fs::path p = (cwd / word).lexically_normal(), inBuild = p.lexically_relative(kSource / "build");
        if (previous == "cd")
            cwd = p;
        const fs::path inSource = p.lexically_relative(kSource);
        const std::string top = inSource.empty() ? "" : inSource.begin()->string();
        if (top == "build" && (kWithBench || inBuild.empty() || inBuild.begin()->string() != "bench"))
            paths.push_back(kBuild / inBuild);
        else if (top.rfind("build", 0) != 0)
            paths.push_back(p);
    }
    return paths;
}

int run(const std::string& command, const fs::path& cwd)
{
    int status = std::system(("cd '" + cwd.string() + "' && " + command + " >out.txt 2>err.txt").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(Readmes, EveryNamedProgramIsBuiltAndTheQuickCommandsRun)
{
    std::vector<std::string> all;
    std::string readme;
    for (const char* name : {"README.md", "data/README.md", "tests/README.md"}) {
        std::ifstream in(kSource / name);
        const std::string text = std::string(std::istreambuf_iterator<char>(in), {});
        ASSERT_FALSE(text.empty()) << name;
        readme = readme.empty() ? text : readme;
        for (const std::string& c : commands(text)) {
            all.push_back(c);
            for (const fs::path& p : namedPaths(c))
                EXPECT_TRUE(fs::exists(p)) << name << ": `" << c << "` names " << p;
        }
    }

    // From a scratch folder with "build/" pointing at this build, where the pictures land.
    testfs::ScratchDir dir;
    fs::create_directory_symlink(kBuild, dir.path() / "build");
    for (const char* quick : {"build/tools/quillet-phantom --slices slices.png", "build/tools/quillet-phantom --help",
                              "build/tools/quillet-table-sender --help"}) {
        EXPECT_GT(std::count(all.begin(), all.end(), quick), 0) << "no README gives `" << quick << "`";
        EXPECT_EQ(run(quick, dir.path()), 0) << quick;
    }
    EXPECT_TRUE(fs::exists(dir.path() / "slices.png"));
    EXPECT_FALSE(fs::exists(dir.path() / "slices.png.pgm")) << "the intermediate picture is removed";
    if (!kWithBench)
        return;
    // The benchmark table names every benchmark program, and each lists its cases.
    std::set<std::string> listed, built;
    const std::regex row("\\n\\| `(bench_\\w+)` \\|");
    for (std::sregex_iterator m(readme.begin(), readme.end(), row), end; m != end; ++m)
        listed.insert((*m)[1]);
    for (const auto& entry : fs::directory_iterator(kBuild / "bench"))
        if (entry.is_regular_file() && entry.path().filename().string().rfind("bench_", 0) == 0)
            built.insert(entry.path().filename().string());
    EXPECT_EQ(listed, built);
    for (const std::string& bench : built) {
        EXPECT_EQ(run("build/bench/" + bench + " --benchmark_list_tests", dir.path()), 0) << bench;
        EXPECT_GT(fs::file_size(dir.path() / "out.txt"), 0u) << bench << " lists no case";
    }
}
