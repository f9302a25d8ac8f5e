// A small hidden window with a GL 4.5 core-profile debug context on the
// X display, made once per process and current on the calling thread; null
// when the GL offers no such context. It is destroyed at exit.
#ifndef TARNWICK_TEST_GLCONTEXT_H
#define TARNWICK_TEST_GLCONTEXT_H

#include "tarnwick.h"

GLFWwindow* test_window();

// Runs the rest of the test only when the GL context could be made.
#define REQUIRE_GL() ASSERT_NE(test_window(), nullptr) << "no GL 4.5 core context on DISPLAY"

#endif
