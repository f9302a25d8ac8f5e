// Child processes for end-to-end tests: a private Xvfb per test, the program
// under test with its output in files, and xdotool driving real X events.
#ifndef TARNWICK_TEST_PROCESS_H
#define TARNWICK_TEST_PROCESS_H

#include <string>
#include <sys/types.h>
#include <vector>

// A fresh directory under /tmp, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// A private Xvfb screen of 1920x1080 at 24 bits; display() is e.g. ":5".
class XServer {
public:
    XServer();
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;
    const std::string& display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

// A program started in `cwd` with extra environment settings ("NAME=value", or
// "NAME=" to remove NAME), its standard output and error going to files. It
// runs without root's power to pass file permissions.
class Child {
public:
    Child(const std::vector<std::string>& argv, const std::vector<std::string>& env,
          const std::string& cwd);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Wait until standard output or error contains `text`; false after `seconds`
    // or when the child died.
    bool wait_for_out(const std::string& text, double seconds);
    bool wait_for_err(const std::string& text, double seconds);
    // Waits for the exit; the exit status, 128 + signal, or -1 after a timeout (the child is killed).
    int wait(double seconds);
    std::string out() const;
    std::string err() const;

private:
    bool wait_for(const std::string& stream, const std::string& text, double seconds);

    pid_t pid_ = -1;
    int status_ = -1;  // once the child has been reaped
    TempDir dir_;
};

// Runs a command to completion with DISPLAY set; returns its exit status.
int run_on_display(const std::string& display, const std::vector<std::string>& argv);

// Runs xdotool with these arguments on the server; true when it succeeded.
bool xdotool(const XServer& x, const std::vector<std::string>& args);

// Reads a whole file; empty when it cannot be read.
std::string read_file(const std::string& path);

#endif
