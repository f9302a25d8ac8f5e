// What the tests share.
#ifndef TARNWICK_TEST_SUPPORT_H
#define TARNWICK_TEST_SUPPORT_H

#include <functional>
#include <string>
#include <vector>

#include "tarnwick.h"

// A hidden 4.5 core-profile debug context, current; null when the GL has none.
GLFWwindow* test_window();
#define REQUIRE_GL() ASSERT_NE(test_window(), nullptr) << "no GL 4.5 core context on DISPLAY"

// What `body` wrote to standard output and error.
struct captured {
    std::string out, err;
};
captured capture(const std::function<void()>& body);

// A fresh folder under /tmp, removed with everything in it.
struct TempDir {
    std::string path;
    TempDir();
    ~TempDir();
};

// Whether the text matches the pattern, in which '*' stands for any text.
bool matches(const std::string& pattern, const std::string& text);
std::string read_file(const std::string& path);

// A program started in `cwd` without root's power over file permissions, its standard output and
// error to files; killed with all it started if it outlives the object.
class Child {
public:
    Child(std::vector<std::string> argv, const std::string& cwd);
    ~Child();
    // Waits until standard error holds `text`; false once the child ended or after `seconds`.
    bool wait_for_err(const std::string& text, double seconds = 120);
    // The exit status, 128 + signal, or -1 while it still runs after `seconds`.
    int wait(double seconds = 120);
    std::string out() const { return read_file(dir_.path + "/out"); }
    std::string err() const { return read_file(dir_.path + "/err"); }

private:
    TempDir dir_;
    int pid_ = -1, group_ = -1, status_ = -1;
};

// A bash script with scripts/menu.sh sourced, in cwd, without the sanitizer's preload.
Child shell(const std::string& script, const std::string& cwd = "/");
bool run_script(const std::string& script);

#endif
