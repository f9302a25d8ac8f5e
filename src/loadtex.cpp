// Loads a headerless raw RGBA16 picture (16-bit little-endian channels, top
// row first) into a new mipmapped 2-D texture.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tarnwick.h"

namespace {

// Checks that fd is a regular file of exactly `expected` bytes and prints the
// reason when it is not.
bool file_fits(int fd, long expected)
{
    struct stat st;
    if (fstat(fd, &st) != 0) {
        perror("fstat");
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        // A read-only open succeeds on a folder; report it as opening it for a picture fails.
        errno = EISDIR;
        perror("open");
        return false;
    }
    // A FIFO or device has no meaningful size: refuse it as a mismatch.
    if (!S_ISREG(st.st_mode) || st.st_size != expected) {
        printf("Different sizes %ld compared to %ld\n", (long)st.st_size, expected);
        return false;
    }
    return true;
}

unsigned int new_texture()
{
    unsigned int name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    return name;
}

}  // namespace

unsigned int loadtex(const char* path, long width, long height)
{
    const long size = width * height * 8;
    unsigned short* scratch = new unsigned short[(size_t)size / 2];
    unsigned short* pixels = new unsigned short[(size_t)size / 2];
    printf("Reading %s graphic.\n", path);

    // Read-only and non-blocking: a picture need not be writable, and a FIFO
    // must not stall start-up waiting for a writer.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    void* mapping = MAP_FAILED;
    if (fd < 0) {
        perror("open");
    } else if (file_fits(fd, size)) {
        mapping = mmap(nullptr, (size_t)size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (mapping == MAP_FAILED)
            puts("Failed to mmap.");
    }
    if (mapping == MAP_FAILED) {
        if (fd >= 0)
            close(fd);
        delete[] scratch;
        delete[] pixels;
        return 0;
    }

    puts("Generating texture.");
    unsigned int name = new_texture();
    memcpy(pixels, mapping, (size_t)size);
    // The file is stored top row first; GL wants the bottom row first.
    flipimg_rgba(width, height, pixels, scratch);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, (GLsizei)width, (GLsizei)height, 0, GL_RGBA,
                 GL_UNSIGNED_SHORT, pixels);
    glGenerateMipmap(GL_TEXTURE_2D);
    puts("Completed mipmap.");

    munmap(mapping, (size_t)size);
    close(fd);
    delete[] scratch;
    delete[] pixels;
    return name;
}
