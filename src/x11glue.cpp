// x11glue: the menu's window system is X11. Its handling of focus, start-up
// clicks and mode changes is built on Xlib, so GLFW is started on X11 even
// where a Wayland session is there (GLFW 3.4 and later would pick Wayland);
// a Wayland desktop shows the menu through XWayland.
#include "tarnwick.h"

#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3native.h>

int glfw_init_x11()
{
#if GLFW_VERSION_MAJOR > 3 || GLFW_VERSION_MINOR >= 4  // platforms came with 3.4
    glfwInitHint(GLFW_PLATFORM, GLFW_PLATFORM_X11);
#endif
    return glfwInit();
}

void x11_sync()
{
    XSync(glfwGetX11Display(), False);
}

// A window manager resizes a full-screen window when its monitor's mode
// changes; without one the menu has to. The window is moved by hand: GLFW's
// own way sets a video mode from a list it read at start-up, undoing the
// user's change. The size callbacks follow as usual.
void follow_video_mode(GLFWwindow* window, int* known_mode)
{
    GLFWmonitor* monitor = glfwGetPrimaryMonitor();
    const GLFWvidmode* mode = monitor ? glfwGetVideoMode(monitor) : nullptr;
    if (!mode || (mode->width == known_mode[0] && mode->height == known_mode[1]))
        return;
    known_mode[0] = mode->width;
    known_mode[1] = mode->height;
    int x = 0, y = 0;
    glfwGetMonitorPos(monitor, &x, &y);
    XMoveResizeWindow(glfwGetX11Display(), glfwGetX11Window(window), x, y,
                      (unsigned int)mode->width, (unsigned int)mode->height);
}
