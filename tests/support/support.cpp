#include "support.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <utility>

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
