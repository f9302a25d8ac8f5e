#include "glcontext.h"

#include <cstdio>
#include <cstdlib>

namespace {

GLFWwindow* window = nullptr;

void print_glfw_error(int code, const char* description)
{
    fprintf(stderr, "glcontext: GLFW error 0x%X: %s\n", code, description);
}

GLFWwindow* make_window()
{
    glfwSetErrorCallback(print_glfw_error);
    if (!glfwInit()) {
        fprintf(stderr, "glcontext: glfwInit failed; is DISPLAY set to a running X server?\n");
        return nullptr;
    }
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 5);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_OPENGL_DEBUG_CONTEXT, GLFW_TRUE);
    GLFWwindow* w = glfwCreateWindow(64, 64, "tarnwick test", nullptr, nullptr);
    if (!w) {
        fprintf(stderr, "glcontext: the GL offers no 4.5 core-profile context\n");
        glfwTerminate();
        return nullptr;
    }
    glfwMakeContextCurrent(w);
    if (!gladLoadGL(glfwGetProcAddress)) {
        fprintf(stderr, "glcontext: loading the GL entry points failed\n");
        glfwDestroyWindow(w);
        glfwTerminate();
        return nullptr;
    }
    return w;
}

// Tears the context down at exit, so that nothing GL made outlives the run.
void close_window()
{
    glfwDestroyWindow(window);
    glfwTerminate();
    window = nullptr;
}

}  // namespace

GLFWwindow* test_window()
{
    static bool tried = false;
    if (!tried) {
        tried = true;
        window = make_window();
        if (window)
            atexit(close_window);
    }
    return window;
}
