// Loads a headerless raw RGBA16 picture (16-bit little-endian channels, top
// row first) into a new mipmapped 2-D texture.
#include <cerrno>
#include <csetjmp>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "le16_to_host.h"
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
        // Opening a folder read-only succeeds, but it is no picture: say so as a
        // failed open would, "open: Is a directory".
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

// The buffers are fresh memory on every call (128 MiB each for the
// background), and the first touch of each 4 KiB page of it is a page fault.
// Aligned to huge pages and advised so, they take one fault per 2 MiB.
constexpr size_t huge_page = (size_t)2 << 20;

// Null when the memory cannot be had: the picture is then refused, not the menu ended.
unsigned short* new_buffer(size_t values)
{
    unsigned short* buffer = new (std::align_val_t(huge_page), std::nothrow) unsigned short[values];
    if (buffer)
        madvise(buffer, values * sizeof *buffer, MADV_HUGEPAGE);
    return buffer;
}

void delete_buffer(unsigned short* buffer)
{
    operator delete[](buffer, std::align_val_t(huge_page));
}

sigjmp_buf copy_failed;

void on_sigbus(int)
{
    siglongjmp(copy_failed, 1);
}

// Copies the mapped file out; false when the file was cut short since it was
// mapped, which makes touching the pages past its new end raise SIGBUS.
bool copy_mapping(void* to, const void* mapping, size_t bytes)
{
    struct sigaction catcher = {};
    struct sigaction previous = {};
    catcher.sa_handler = on_sigbus;
    sigemptyset(&catcher.sa_mask);
    sigaction(SIGBUS, &catcher, &previous);
    volatile bool copied = false;
    if (sigsetjmp(copy_failed, 1) == 0) {
        memcpy(to, mapping, bytes);
        copied = true;
    }
    sigaction(SIGBUS, &previous, nullptr);
    return copied;
}

unsigned int refuse_for_memory(const char* path)
{
    printf("%s: not enough memory to load the picture\n", path);
    return 0;
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
    printf("Reading %s graphic.\n", path);
    unsigned short* scratch = new_buffer((size_t)size / 2);
    unsigned short* pixels = scratch ? new_buffer((size_t)size / 2) : nullptr;
    if (!pixels) {
        delete_buffer(scratch);
        return refuse_for_memory(path);
    }

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
    // The texture is made only once the pixels are safely out of the mapping;
    // the file is let go of at once, so that its pages need not stay resident
    // through the upload.
    bool copied = false;
    if (mapping != MAP_FAILED) {
        copied = copy_mapping(pixels, mapping, (size_t)size);
        if (!copied)
            printf("%s: the file shrank while it was read\n", path);
        munmap(mapping, (size_t)size);
    }
    if (fd >= 0)
        close(fd);
    if (!copied) {
        delete_buffer(scratch);
        delete_buffer(pixels);
        return 0;
    }

    puts("Generating texture.");
    unsigned int name = new_texture();
    // The file is stored top row first; GL wants the bottom row first.
    flipimg_rgba(width, height, pixels, scratch);
    le16_to_host(pixels, (size_t)size / 2);
    // Each buffer goes as soon as it has served, so that the GL's own storage
    // for the texture can take over its pages instead of touching fresh ones.
    delete_buffer(scratch);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, (GLsizei)width, (GLsizei)height, 0, GL_RGBA,
                 GL_UNSIGNED_SHORT, pixels);
    delete_buffer(pixels);
    glGenerateMipmap(GL_TEXTURE_2D);
    // A GL short of memory leaves the texture incomplete, drawn black: refuse it
    // as above rather than hand out a name that shows nothing.
    if (glGetError() == GL_OUT_OF_MEMORY) {
        glDeleteTextures(1, &name);
        return refuse_for_memory(path);
    }
    puts("Completed mipmap.");
    return name;
}
