// The floor for the menu's start: the same full-screen GL 4.5 core window,
// the same nine pictures read into one buffer and each uploaded with
// glTexImage2D and glGenerateMipmap, then one cleared frame shown. Run in the
// picture folder with the frame watcher preloaded, which times it as it times
// the menu.
#include <cstdio>
#include <fcntl.h>
#include <new>
#include <sys/mman.h>
#include <unistd.h>

#include "tarnwick.h"

namespace {

const struct {
    const char* file;
    int side;
} pictures[] = {
    {"output_start.rgba", 1024},   {"output_coord.rgba", 1024}, {"output_blank.rgba", 1024},
    {"output_blank.rgba", 1024},   {"output_observe.rgba", 1024}, {"output_edit.rgba", 1024},
    {"output_blank.rgba", 1024},   {"output_quit.rgba", 1024},  {"output_spinrgb.rgba", 4096},
};

constexpr size_t largest = (size_t)4096 * 4096 * 8;
constexpr size_t huge_page = (size_t)2 << 20;

bool read_whole(const char* path, char* buffer, size_t bytes)
{
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    size_t got = 0;
    for (ssize_t n; fd >= 0 && got < bytes && (n = read(fd, buffer + got, bytes - got)) > 0;)
        got += (size_t)n;
    if (fd >= 0)
        close(fd);
    return got == bytes;
}

}  // namespace

int main()
{
    if (!glfw_init_x11())
        return 1;
    glfwWindowHint(GLFW_DECORATED, GLFW_FALSE);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 5);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_OPENGL_DEBUG_CONTEXT, GLFW_TRUE);
    GLFWmonitor* monitor = glfwGetPrimaryMonitor();
    const GLFWvidmode* mode = monitor ? glfwGetVideoMode(monitor) : nullptr;
    GLFWwindow* window = mode ? glfwCreateWindow(mode->width, mode->height, "floor", monitor, nullptr) : nullptr;
    if (!window) {
        glfwTerminate();
        return 1;
    }
    glfwMakeContextCurrent(window);
    if (!gladLoadGL(glfwGetProcAddress)) {
        glfwTerminate();
        return 1;
    }
    // One buffer for all nine, held in huge pages where the kernel offers
    // them, so that the floor pays as little as a program can to touch it.
    char* buffer = new (std::align_val_t(huge_page)) char[largest];
    madvise(buffer, largest, MADV_HUGEPAGE);
    for (const auto& p : pictures) {
        if (!read_whole(p.file, buffer, (size_t)p.side * (size_t)p.side * 8)) {
            fprintf(stderr, "bench_start_floor: cannot read %s\n", p.file);
            return 1;
        }
        unsigned int name = 0;
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_2D, name);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, p.side, p.side, 0, GL_RGBA, GL_UNSIGNED_SHORT, buffer);
        glGenerateMipmap(GL_TEXTURE_2D);
    }
    operator delete[](buffer, std::align_val_t(huge_page));
    glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glfwSwapBuffers(window);
    glfwTerminate();
    return 0;
}
