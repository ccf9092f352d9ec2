#include "tools/session/XvfbServer.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace session {

pid_t spawnChild(const char* const* argv, const char* workDir, const char* display,
                 int stdinFd, int stdoutFd, int stderrFd)
{
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid != 0)
        return pid;

    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent)
        _exit(127); // the owner died before the signal was armed
    setpgid(0, 0);  // own process group, so a kill reaches grandchildren too
    if (workDir && chdir(workDir) != 0)
        _exit(127);
    if (display)
        setenv("DISPLAY", display, 1);
    int nullFd = open("/dev/null", O_RDWR);
    dup2(stdinFd >= 0 ? stdinFd : nullFd, 0);
    dup2(stdoutFd >= 0 ? stdoutFd : nullFd, 1);
    dup2(stderrFd >= 0 ? stderrFd : nullFd, 2);
    for (int fd = 3; fd < 1024; ++fd)
        close(fd);
    execvp(argv[0], const_cast<char* const*>(argv));
    _exit(127);
}

int terminateChild(pid_t pid, int graceMs)
{
    if (pid <= 0)
        return -1;
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid)
        return status;
    kill(-pid, SIGTERM);
    kill(pid, SIGTERM);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
    while (std::chrono::steady_clock::now() < deadline) {
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return status;
        if (r < 0)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(-pid, SIGKILL);
    kill(pid, SIGKILL);
    return waitpid(pid, &status, 0) == pid ? status : -1;
}

XvfbServer::XvfbServer(int width, int height)
{
    int fds[2];
    if (pipe(fds) != 0)
        return;
    // The write end must survive exec as descriptor 3 for -displayfd.
    std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        close(fds[0]);
        dup2(fds[1], 3);
        int nullFd = open("/dev/null", O_RDWR);
        dup2(nullFd, 0);
        dup2(nullFd, 1);
        dup2(nullFd, 2);
        for (int fd = 4; fd < 1024; ++fd)
            close(fd);
        execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", screen.c_str(),
               "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    if (pid_ < 0) {
        close(fds[0]);
        return;
    }
    std::string number;
    pollfd pfd{fds[0], POLLIN, 0};
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < deadline) {
        if (poll(&pfd, 1, 100) <= 0)
            continue;
        char c;
        ssize_t n = read(fds[0], &c, 1);
        if (n <= 0)
            break;
        if (c == '\n') {
            display_ = ":" + number;
            break;
        }
        number += c;
    }
    close(fds[0]);
    if (display_.empty()) {
        terminateChild(pid_, 200);
        pid_ = -1;
    }
}

XvfbServer::~XvfbServer()
{
    terminateChild(pid_, 2000);
}

} // namespace session
