// What the tests share: a GL context on the X display, capture of what code
// prints, temporary folders, and programs run on the same display.
#ifndef TARNWICK_TEST_SUPPORT_H
#define TARNWICK_TEST_SUPPORT_H

#include <functional>
#include <string>
#include <vector>

#include "tarnwick.h"

// A hidden 4.5 core-profile debug context, made once per process and current
// on the calling thread; null when the GL offers none.
GLFWwindow* test_window();
#define REQUIRE_GL() ASSERT_NE(test_window(), nullptr) << "no GL 4.5 core context on DISPLAY"

// What `body` wrote to standard output and error.
struct captured { std::string out, err; };
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

// A program started in `cwd` without root's power over file permissions (run
// it through `env` to change its environment). Standard error goes to a file,
// and so does standard output unless `out` names another file or is "closed".
// It and all it started are killed if it outlives the object.
class Child {
public:
    Child(std::vector<std::string> argv, const std::string& cwd, const std::string& out = "");
    ~Child();
    // Waits until the stream holds `text`; false once the child ended or after `seconds`.
    bool wait_for_out(const std::string& text, double seconds = 120) { return wait_for(text, "/out", seconds); }
    bool wait_for_err(const std::string& text, double seconds = 120) { return wait_for(text, "/err", seconds); }
    // The exit status, 128 + signal, or -1 while it still runs after `seconds`.
    int wait(double seconds = 120);
    std::string out() const { return read_file(dir_.path + "/out"); }
    std::string err() const { return read_file(dir_.path + "/err"); }

private:
    bool wait_for(const std::string& text, const char* stream, double seconds);
    TempDir dir_;
    int pid_ = -1, status_ = -1;
};

// Runs a bash script on DISPLAY with scripts/menu.sh sourced, so that
// "xdotool mousemove $(button_at 4 1920 1080)" points at the drawn "Observe";
// true when it succeeded.
bool run_script(const std::string& script);

#endif
