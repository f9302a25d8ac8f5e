// The floor for the menu's start: a bare full-screen GL 4.5 window on the
// primary monitor, cleared and shown once. Prints the time from process start
// to that first frame and the peak resident memory, in the form the menu's
// frame watcher uses.
#include <cstdio>
#include <ctime>

#include "tarnwick.h"
#include "timing.h"

namespace {

double process_seconds()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

const double started = process_seconds();

}  // namespace

int main()
{
    if (!glfwInit())
        return 1;
    glfwWindowHint(GLFW_DECORATED, GLFW_FALSE);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 5);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    GLFWmonitor* monitor = glfwGetPrimaryMonitor();
    const GLFWvidmode* mode = monitor ? glfwGetVideoMode(monitor) : nullptr;
    GLFWwindow* window = mode ? glfwCreateWindow(mode->width, mode->height, "bare", monitor, nullptr) : nullptr;
    if (!window) {
        glfwTerminate();
        return 1;
    }
    glfwMakeContextCurrent(window);
    if (!gladLoadGL(glfwGetProcAddress)) {
        glfwTerminate();
        return 1;
    }
    glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glfwSwapBuffers(window);
    printf("first_frame_ms %.3f\n", (process_seconds() - started) * 1e3);
    printf("peak_rss_kib %ld\n", status_kib("VmHWM"));
    glfwTerminate();
    return 0;
}
