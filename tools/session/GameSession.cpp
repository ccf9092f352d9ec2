#include "tools/session/GameSession.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace session {

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream os;
    os << in.rdbuf();
    return os.str();
}

Rgb Image::at(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width || y >= height)
        return {0, 0, 0};
    const uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
    return {p[0], p[1], p[2]};
}

Image Image::crop(int x, int y, int w, int h) const
{
    Image out;
    if (w <= 0 || h <= 0)
        return out;
    out.width = w;
    out.height = h;
    out.rgb.resize(size_t(w) * h * 3);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            Rgb c = at(x + i, y + j);
            uint8_t* p = &out.rgb[(size_t(j) * w + i) * 3];
            p[0] = c.r;
            p[1] = c.g;
            p[2] = c.b;
        }
    return out;
}

Image Image::fromPpm(const std::string& bytes)
{
    Image img;
    std::istringstream in(bytes);
    std::string magic;
    int w = 0, h = 0, maxv = 0;
    in >> magic;
    // Skip comments between header fields.
    auto next = [&](int& v) {
        while (in >> std::ws && in.peek() == '#')
            in.ignore(1 << 20, '\n');
        in >> v;
    };
    next(w);
    next(h);
    next(maxv);
    in.get();
    if (magic != "P6" || w <= 0 || h <= 0 || maxv != 255)
        return img;
    img.width = w;
    img.height = h;
    img.rgb.resize(size_t(w) * h * 3);
    in.read(reinterpret_cast<char*>(img.rgb.data()), std::streamsize(img.rgb.size()));
    if (in.gcount() != std::streamsize(img.rgb.size()))
        return Image{};
    return img;
}

bool Image::savePng(const std::string& path) const
{
    if (empty())
        return false;
    std::string cmd = "convert ppm:- 'png:" + path + "'";
    FILE* p = popen(cmd.c_str(), "w");
    if (!p)
        return false;
    fprintf(p, "P6\n%d %d\n255\n", width, height);
    fwrite(rgb.data(), 1, rgb.size(), p);
    return pclose(p) == 0;
}

GameSession::GameSession(SessionOptions options) : options_(std::move(options)) {}

namespace {

std::vector<std::string>& reportList()
{
    static std::vector<std::string> reports;
    return reports;
}

} // namespace

const std::vector<std::string>& sanitizerReports() { return reportList(); }

GameSession::~GameSession()
{
    frames_.reset();
    stop();
    std::string report = sanitizerReport();
    if (!report.empty())
        reportList().push_back(report);
    if (stdinFd_ >= 0)
        close(stdinFd_);
    xvfb_.reset();
    std::error_code ec;
    if (ownsWorkDir_)
        fs::remove_all(workDir_, ec);
    for (const std::string& capture : {outPath_, errPath_}) // kept above as the report
        if (!capture.empty())
            fs::remove(capture, ec);
}

bool GameSession::start()
{
    xvfb_ = std::make_unique<XvfbServer>(options_.screenWidth, options_.screenHeight);
    if (!xvfb_->running())
        return false;
    display_ = xvfb_->display();

    if (!options_.workDir.empty()) {
        workDir_ = options_.workDir;
    } else {
        char tmpl[] = "/tmp/quillet-session-XXXXXX";
        if (!mkdtemp(tmpl))
            return false;
        workDir_ = tmpl;
        ownsWorkDir_ = true;
        // Link rather than copy: the volume is tens of megabytes.
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(options_.dataDir, ec)) {
            std::string name = entry.path().filename().string();
            bool skip = false;
            for (const auto& o : options_.omit)
                skip = skip || o == name;
            if (!skip)
                fs::create_symlink(fs::absolute(entry.path()), fs::path(workDir_) / name, ec);
        }
    }

    int inPipe[2];
    if (pipe(inPipe) != 0)
        return false;
    int outFd = -1, errFd = -1;
    if (!options_.inheritConsole) {
        char tmpl[] = "/tmp/quillet-console-XXXXXX";
        int base = mkstemp(tmpl);
        if (base < 0)
            return false;
        close(base);
        outPath_ = std::string(tmpl) + ".out";
        errPath_ = std::string(tmpl) + ".err";
        unlink(tmpl);
        outFd = open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        errFd = open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    } else {
        outFd = dup(1);
        errFd = dup(2);
    }
    std::string exe = fs::absolute(options_.executable).string();
    // Line-buffered like a terminal, so the console can be read while the game runs.
    std::vector<const char*> argv;
    if (!options_.environment.empty()) {
        argv.push_back("env");
        for (const std::string& entry : options_.environment)
            argv.push_back(entry.c_str());
    }
    for (const char* arg : {"stdbuf", "-oL", "-eL"})
        argv.push_back(arg);
    argv.push_back(exe.c_str());
    argv.push_back(nullptr);
    pid_ = spawnChild(argv.data(), workDir_.c_str(), display_.c_str(), inPipe[0], outFd, errFd);
    close(inPipe[0]);
    close(outFd);
    close(errFd);
    stdinFd_ = inPipe[1];
    return pid_ > 0;
}

std::string GameSession::runOnDisplay(const std::vector<std::string>& argv, int* exitCode)
{
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    std::vector<const char*> args;
    for (const auto& a : argv)
        args.push_back(a.c_str());
    args.push_back(nullptr);
    pid_t pid = spawnChild(args.data(), nullptr, display_.c_str(), -1, fds[1], -1);
    close(fds[1]);
    std::string out;
    char buf[65536];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        out.append(buf, size_t(n));
    close(fds[0]);
    int status = 0;
    if (pid > 0)
        waitpid(pid, &status, 0);
    if (exitCode)
        *exitCode = (pid > 0 && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
    return out;
}

std::string GameSession::findWindow(const std::string& title)
{
    // Only a mapped window can take the input focus. Focused too early, the request
    // failed and the focus stayed with the pointer: once a resize moved the window's
    // edge past the pointer, keys (Escape among them) went to the root window.
    std::string out = runOnDisplay({"xdotool", "search", "--onlyvisible", "--name", "^" + title + "$"});
    std::istringstream in(out);
    std::string id;
    in >> id;
    return id;
}

std::string GameSession::waitForWindow(const std::string& title, double timeoutSeconds)
{
    auto deadline = std::chrono::steady_clock::now() +
                    std::chrono::milliseconds(int(timeoutSeconds * 1000));
    while (std::chrono::steady_clock::now() < deadline) {
        window_ = findWindow(title);
        if (!window_.empty()) {
            runOnDisplay({"xdotool", "windowfocus", "--sync", window_});
            return window_;
        }
        if (exited())
            break;
        sleepMs(100);
    }
    return {};
}

bool GameSession::windowGeometry(int& x, int& y, int& w, int& h)
{
    if (window_.empty())
        return false;
    std::string out = runOnDisplay({"xdotool", "getwindowgeometry", "--shell", window_});
    std::istringstream in(out);
    std::string line;
    int found = 0;
    while (std::getline(in, line)) {
        auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string k = line.substr(0, eq);
        int v = std::atoi(line.c_str() + eq + 1);
        if (k == "X") x = v, ++found;
        if (k == "Y") y = v, ++found;
        if (k == "WIDTH") w = v, ++found;
        if (k == "HEIGHT") h = v, ++found;
    }
    return found == 4;
}

void GameSession::key(const std::string& keysym)
{
    runOnDisplay({"xdotool", "key", "--delay", "20", keysym});
}

void GameSession::keyDown(const std::string& keysym) { runOnDisplay({"xdotool", "keydown", keysym}); }
void GameSession::keyUp(const std::string& keysym) { runOnDisplay({"xdotool", "keyup", keysym}); }

void GameSession::keys(const std::string& keysyms, int delayMs)
{
    std::vector<std::string> argv = {"xdotool", "key", "--delay", std::to_string(delayMs)};
    std::istringstream in(keysyms);
    for (std::string k; in >> k;)
        argv.push_back(k);
    runOnDisplay(argv);
}

void GameSession::mouseMove(int x, int y)
{
    if (window_.empty())
        return;
    runOnDisplay({"xdotool", "mousemove", "--window", window_, std::to_string(x),
                  std::to_string(y)});
}

void GameSession::mouseDown(int button)
{
    runOnDisplay({"xdotool", "mousedown", std::to_string(button)});
}

void GameSession::mouseUp(int button)
{
    runOnDisplay({"xdotool", "mouseup", std::to_string(button)});
}

void GameSession::drag(int x0, int y0, int x1, int y1, int steps)
{
    mouseMove(x0, y0);
    mouseDown(1);
    for (int s = 1; s <= steps; ++s) {
        mouseMove(x0 + (x1 - x0) * s / steps, y0 + (y1 - y0) * s / steps);
        sleepMs(20);
    }
    mouseUp(1);
}

void GameSession::resize(int width, int height)
{
    if (!window_.empty())
        runOnDisplay({"xdotool", "windowsize", "--sync", window_, std::to_string(width),
                      std::to_string(height)});
}

void GameSession::hideWindow()
{
    if (!window_.empty())
        runOnDisplay({"xdotool", "windowunmap", "--sync", window_});
}

void GameSession::showWindow()
{
    if (!window_.empty()) {
        runOnDisplay({"xdotool", "windowmap", "--sync", window_});
        runOnDisplay({"xdotool", "windowfocus", "--sync", window_});
    }
}

double GameSession::cpuSeconds() const
{
    // Fields 14 and 15 of /proc/<pid>/stat, after the command name in parentheses.
    std::string stat = readFile("/proc/" + std::to_string(pid_) + "/stat");
    std::size_t close = stat.rfind(')');
    if (pid_ <= 0 || close == std::string::npos)
        return -1.0;
    std::istringstream in(stat.substr(close + 2));
    std::string field;
    long long user = 0, system = 0;
    for (int i = 3; i <= 13 && in >> field; ++i) {
    }
    in >> user >> system;
    return double(user + system) / double(sysconf(_SC_CLK_TCK));
}

long GameSession::framesShown()
{
    if (window_.empty())
        return -1;
    if (!frames_)
        frames_ = std::make_unique<FrameCounter>(display_, std::stoul(window_));
    return frames_->frames();
}

Image GameSession::screenshot()
{
    return Image::fromPpm(runOnDisplay({"import", "-window", "root", "-depth", "8", "ppm:-"}));
}

Image GameSession::windowShot()
{
    int x = 0, y = 0, w = 0, h = 0;
    if (!windowGeometry(x, y, w, h))
        return {};
    return screenshot().crop(x, y, w, h);
}

void GameSession::writeStdin(const std::string& text)
{
    if (stdinFd_ >= 0 && !text.empty())
        (void)!write(stdinFd_, text.data(), text.size());
}

std::string GameSession::standardOutput() const { return readFile(outPath_); }
std::string GameSession::standardError() const { return readFile(errPath_); }

std::string GameSession::sanitizerReport() const
{
    if (errPath_.empty())
        return {};
    const std::string err = standardError();
    size_t first = std::string::npos;
    for (const char* header : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error: "}) {
        size_t at = err.find(header);
        if (at < first)
            first = at;
    }
    if (first == std::string::npos)
        return {};
    size_t lineStart = err.rfind('\n', first);
    return err.substr(lineStart == std::string::npos ? 0 : lineStart + 1);
}

bool GameSession::waitForOutput(const std::string& needle, double timeoutSeconds, size_t from)
{
    auto deadline = std::chrono::steady_clock::now() +
                    std::chrono::milliseconds(int(timeoutSeconds * 1000));
    for (;;) {
        std::string out = standardOutput();
        if (out.size() > from && out.find(needle, from) != std::string::npos)
            return true;
        if (std::chrono::steady_clock::now() >= deadline || exited())
            return standardOutput().find(needle, from) != std::string::npos;
        sleepMs(50);
    }
}

void GameSession::recordStatus(int rawStatus)
{
    if (WIFEXITED(rawStatus))
        status_ = WEXITSTATUS(rawStatus);
    else
        status_ = -1;
    pid_ = -1;
}

bool GameSession::exited()
{
    if (pid_ <= 0)
        return status_ != -1000;
    int raw = 0;
    if (waitpid(pid_, &raw, WNOHANG) == pid_) {
        recordStatus(raw);
        return true;
    }
    return false;
}

int GameSession::waitForExit(double timeoutSeconds)
{
    auto deadline = std::chrono::steady_clock::now() +
                    std::chrono::milliseconds(int(timeoutSeconds * 1000));
    while (std::chrono::steady_clock::now() < deadline) {
        if (exited())
            return status_;
        sleepMs(20);
    }
    return exited() ? status_ : -1000;
}

int GameSession::stop()
{
    if (pid_ > 0) {
        int raw = terminateChild(pid_, 2000);
        if (raw == -1) {
            status_ = -1;
            pid_ = -1;
        } else {
            recordStatus(raw);
        }
    }
    return status_;
}

} // namespace session
