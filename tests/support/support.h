// What the tests share.
#ifndef TARNWICK_TEST_SUPPORT_H
#define TARNWICK_TEST_SUPPORT_H

#include <functional>
#include <string>

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

#endif
