#include "process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using clock_type = std::chrono::steady_clock;

std::vector<char*> c_strings(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (std::string& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

void apply_env(const std::vector<std::string>& env)
{
    for (const std::string& setting : env) {
        const size_t eq = setting.find('=');
        const std::string name = setting.substr(0, eq);
        const std::string value = setting.substr(eq + 1);
        if (value.empty())
            unsetenv(name.c_str());
        else
            setenv(name.c_str(), value.c_str(), 1);
    }
}

// Waits for pid with a timeout; the exit status, 128 + signal, or -1 on timeout.
int wait_with_timeout(pid_t pid, double seconds)
{
    const auto deadline = clock_type::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (done < 0)
            return -1;
        if (clock_type::now() > deadline)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void kill_and_reap(pid_t pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// Starts Xvfb on display n; the display's name once it accepts connections, else "".
std::string start_xvfb(int n, pid_t* pid)
{
    int fds[2];
    if (pipe(fds) != 0) {
        perror("XServer: pipe");
        return "";
    }
    *pid = fork();
    if (*pid == 0) {
        unsetenv("LD_PRELOAD");  // the sanitizer runtime is for the program under test only
        close(fds[0]);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        const std::string display = ":" + std::to_string(n), fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", display.c_str(), "-displayfd", fd.c_str(), "-screen", "0",
               "1920x1080x24", "-nolisten", "tcp", "-noreset", (char*)nullptr);
        _exit(127);
    }
    close(fds[1]);
    // Xvfb writes its display number once it accepts connections, or exits.
    char buffer[32] = {0};
    size_t got = 0;
    while (got < sizeof buffer - 1) {
        const ssize_t r = read(fds[0], buffer + got, sizeof buffer - 1 - got);
        if (r <= 0 || memchr(buffer, '\n', got + (size_t)r))
            break;
        got += (size_t)r;
    }
    close(fds[0]);
    if (atoi(buffer) == n)
        return ":" + std::to_string(n);
    waitpid(*pid, nullptr, 0);
    *pid = -1;
    return "";
}

}  // namespace

TempDir::TempDir()
{
    char name[] = "/tmp/tarnwick-test-XXXXXX";
    if (!mkdtemp(name)) {
        perror("TempDir: mkdtemp");
        abort();
    }
    path_ = name;
}

TempDir::~TempDir()
{
    std::error_code error;
    std::filesystem::remove_all(path_, error);
    if (error)
        fprintf(stderr, "TempDir: could not remove %s: %s\n", path_.c_str(), error.message().c_str());
}

// Display numbers are chosen here rather than by Xvfb's own search: a server
// probing numbers that are taken can break the sockets of the server that has
// them, such as the one the rest of the test suite runs on. -noreset keeps a
// server from resetting whenever its last client leaves, which would refuse
// the next client for a moment.
XServer::XServer()
{
    const int first = 100 + getpid() % 100;
    for (int n = first; n < first + 100 && display_.empty(); n++) {
        const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
        if (access(lock.c_str(), F_OK) == 0)
            continue;
        display_ = start_xvfb(n, &pid_);
    }
    if (display_.empty())
        fprintf(stderr, "XServer: Xvfb did not start\n");
}

XServer::~XServer()
{
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        if (wait_with_timeout(pid_, 5) < 0)
            kill_and_reap(pid_);
    }
}

Child::Child(const std::vector<std::string>& argv, const std::vector<std::string>& env,
             const std::string& cwd)
{
    const std::string out_path = dir_.path() + "/out";
    const std::string err_path = dir_.path() + "/err";
    std::vector<std::string> args = argv;
    pid_ = fork();
    if (pid_ == 0) {
        apply_env(env);
        const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        if (chdir(cwd.c_str()) != 0)
            _exit(126);
        // Run as a user would even when the tests run as root: file permissions
        // bind. (Without root's privileges these calls fail harmlessly.)
        prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0);
        prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0);
        std::vector<char*> c_args = c_strings(args);
        execv(c_args[0], c_args.data());
        _exit(127);
    }
}

Child::~Child()
{
    kill_and_reap(pid_);
}

bool Child::wait_for_out(const std::string& text, double seconds)
{
    return wait_for("/out", text, seconds);
}

bool Child::wait_for_err(const std::string& text, double seconds)
{
    return wait_for("/err", text, seconds);
}

bool Child::wait_for(const std::string& stream, const std::string& text, double seconds)
{
    const auto deadline = clock_type::now() + std::chrono::duration<double>(seconds);
    while (clock_type::now() < deadline) {
        if (read_file(dir_.path() + stream).find(text) != std::string::npos)
            return true;
        if (pid_ <= 0)
            return false;
        const int status = wait_with_timeout(pid_, 0);
        if (status >= 0) {
            status_ = status;
            pid_ = -1;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

int Child::wait(double seconds)
{
    if (pid_ <= 0)
        return status_;
    const int status = wait_with_timeout(pid_, seconds);
    if (status < 0)
        kill_and_reap(pid_);
    pid_ = -1;
    return status;
}

std::string Child::out() const
{
    return read_file(dir_.path() + "/out");
}

std::string Child::err() const
{
    return read_file(dir_.path() + "/err");
}

int run_on_display(const std::string& display, const std::vector<std::string>& argv)
{
    std::vector<std::string> args = argv;
    const pid_t pid = fork();
    if (pid == 0) {
        unsetenv("LD_PRELOAD");
        setenv("DISPLAY", display.c_str(), 1);
        std::vector<char*> c_args = c_strings(args);
        execvp(c_args[0], c_args.data());
        _exit(127);
    }
    const int status = wait_with_timeout(pid, 30);
    if (status < 0)
        kill_and_reap(pid);
    return status;
}

bool xdotool(const XServer& x, const std::vector<std::string>& args)
{
    std::vector<std::string> argv = {"xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_on_display(x.display(), argv) == 0;
}

std::string read_file(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}
