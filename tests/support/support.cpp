#include "support.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fnmatch.h>
#include <fstream>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <utility>
#include <unistd.h>

GLFWwindow* test_window()
{
    static GLFWwindow* window = [] {
        glfwSetErrorCallback([](int, const char* text) { fprintf(stderr, "GLFW: %s\n", text); });
        if (!glfw_init_x11())
            return (GLFWwindow*)nullptr;
        atexit(glfwTerminate);  // nothing GL made outlives the run
        for (auto [hint, value] : {std::pair{GLFW_VISIBLE, GLFW_FALSE},
                                   {GLFW_CONTEXT_VERSION_MAJOR, 4},
                                   {GLFW_CONTEXT_VERSION_MINOR, 5},
                                   {GLFW_OPENGL_DEBUG_CONTEXT, GLFW_TRUE},
                                   {GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE}})
            glfwWindowHint(hint, value);
        GLFWwindow* w = glfwCreateWindow(64, 64, "tarnwick test", nullptr, nullptr);
        glfwMakeContextCurrent(w);
        return w && gladLoadGL(glfwGetProcAddress) ? w : nullptr;
    }();
    return window;
}

captured capture(const std::function<void()>& body)
{
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    body();
    fflush(stdout);
    captured printed;
    printed.err = testing::internal::GetCapturedStderr();
    printed.out = testing::internal::GetCapturedStdout();
    return printed;
}

TempDir::TempDir()
{
    char name[] = "/tmp/tarnwick-test-XXXXXX";
    path = mkdtemp(name);
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

bool matches(const std::string& pattern, const std::string& text)
{
    return fnmatch(pattern.c_str(), text.c_str(), 0) == 0;
}

std::string read_file(const std::string& path)
{
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

Child::Child(std::vector<std::string> argv, const std::string& cwd)
{
    std::vector<char*> args;
    for (std::string& a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    // Its own process group, set on both sides of the fork, so that whatever it starts is
    // killed with it.
    if ((pid_ = group_ = fork()) != 0) {
        setpgid(pid_, pid_);
        return;
    }
    setpgid(0, 0);
    for (auto [stream, fd] : {std::pair{"/out", STDOUT_FILENO}, {"/err", STDERR_FILENO}})
        dup2(open((dir_.path + stream).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644),
             fd);
    prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0);
    prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0);
    if (chdir(cwd.c_str()) == 0)
        execvp(args[0], args.data());
    _exit(127);
}

Child::~Child()
{
    if (group_ > 0)
        kill(-group_, SIGKILL);  // also what it started and left behind when it ended
    if (pid_ > 0)
        waitpid(pid_, nullptr, 0);
}

bool Child::wait_for_err(const std::string& text, double seconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (err().find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline || wait(0) >= 0)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

int Child::wait(double seconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (int status = 0; pid_ > 0; std::this_thread::sleep_for(std::chrono::milliseconds(20))) {
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            pid_ = -1;
        } else if (std::chrono::steady_clock::now() > deadline) {
            return -1;
        }
    }
    return status_;
}

Child shell(const std::string& script, const std::string& cwd)
{
    return Child({"env", "-u", "LD_PRELOAD", "bash", "-c",
                  ". " TESTS_SOURCE_DIR "/../scripts/menu.sh; " + script},
                 cwd);
}

bool run_script(const std::string& script)
{
    Child bash = shell(script);
    const bool ok = bash.wait(60) == 0;
    if (!ok)
        fprintf(stderr, "%s\nfailed: %s", script.c_str(), bash.err().c_str());
    return ok;
}
