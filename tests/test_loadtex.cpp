// The picture loader on the real GL: a picture reaches its texture row by row and channel by
// channel without a GL error, and each refusal says why and leaves nothing behind.
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support.h"

// Failed allocations give null under AddressSanitizer too, as the refusal for memory needs.
extern "C" const char* __asan_default_options()
{
    return "allocator_may_return_null=1";
}

namespace {

constexpr long side = 64;             // the test picture is 64 x 64 pixels
constexpr long row_bytes = side * 8;  // four 16-bit channels a pixel
constexpr long picture_bytes = side * row_bytes;
// shrinks.rgba is a row short of the picture: the size of a load 63 pixels wide and 64 high.
constexpr long shrinking_width = side - 1;
constexpr size_t shrinking_bytes = picture_bytes - row_bytes;

// Every 16-bit channel differs from its neighbours and from the channel a row above: both its
// bytes count up to 250 and over again. 8-bit storage, which the GL may choose, keeps it exactly.
std::string test_picture()
{
    std::string bytes;
    for (long channel = 0; channel < picture_bytes / 2; channel++)
        bytes.append(2, (char)(channel % 251));
    return bytes;
}

// A file holds its top row first, a texture its bottom row.
std::string rows_bottom_up(const std::string& picture)
{
    std::string rows;
    for (long row = side - 1; row >= 0; row--)
        rows += picture.substr(row * row_bytes, row_bytes);
    return rows;
}

// Prints each error the GL reports, as the menu's debug output would.
void GLAPIENTRY print_gl_error(GLenum, GLenum type, GLuint, GLenum, GLsizei, const GLchar* message,
                               const void*)
{
    if (type == GL_DEBUG_TYPE_ERROR)
        printf("GL error: %s\n", message);
}

// As root ignores file permissions, each load runs with nobody's file access; each GL error
// during the load is printed among the loader's lines.
captured load_as_nobody(const std::string& file, long width, unsigned int* texture)
{
    glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);  // a debug context has its output on
    glDebugMessageCallback(print_gl_error, nullptr);
    const int nobody = 65534;
    setfsuid(nobody);
    const captured printed = capture([&] { *texture = loadtex(file.c_str(), width, side); });
    setfsuid(0);
    return printed;
}

long open_descriptors()
{
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
}

}  // namespace

// Mapping a file the size of shrinks.rgba empties it first, as another program cutting it short
// while the loader reads it would.
extern "C" void* mmap(void* address, size_t length, int protection, int flags, int fd,
                      off_t offset) noexcept
{
    if (length == shrinking_bytes)
        truncate(("/proc/self/fd/" + std::to_string(fd)).c_str(), 0);
    const auto real_mmap = (decltype(&mmap))dlsym(RTLD_NEXT, "mmap");
    return real_mmap(address, length, protection, flags, fd, offset);
}

// A read-only picture reaches its texture without a GL error. A refused one yields texture 0 and
// leaves the texture bound before it bound. No load, refused or not, leaves a file open.
TEST(Loadtex, LoadsAPictureRowByRowAndRefusesWhatIsNoPictureOfTheSizeAskedSayingWhy)
{
    REQUIRE_GL();
    TempDir folder;
    ASSERT_EQ(chdir(folder.path.c_str()), 0);
    chmod(".", 0755);  // open to nobody, as whom the loads run
    umask(0);          // the files get exactly the modes given
    const std::string picture = test_picture();
    std::ofstream("picture.rgba") << picture;
    chmod("picture.rgba", 0444);  // read-only: the loader needs no more
    std::ofstream("shrinks.rgba") << picture.substr(row_bytes);
    mknod("locked.rgba", S_IFREG, 0);  // nobody may read it
    mkfifo("pipe.rgba", 0644);
    unsigned int texture = 0;
    const captured printed = load_as_nobody("picture.rgba", side, &texture);
    // Counted after the first upload, for which the driver may open files of its own.
    const long descriptors = open_descriptors();
    EXPECT_EQ(printed.out,
              "Reading picture.rgba graphic.\nGenerating texture.\nCompleted mipmap.\n");
    EXPECT_EQ(printed.err, "");
    ASSERT_NE(texture, 0u);
    std::string texels(picture_bytes, '\0');
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_SHORT, texels.data());
    EXPECT_TRUE(texels == rows_bottom_up(picture)) << "rows or channels out of place";

    struct refusal {
        std::string file;
        long width;
        std::string out;  // after the line "Reading <file> graphic."
        std::string err;  // AddressSanitizer adds its notes after the loader's line
    };
    const refusal refusals[] = {
        {"locked.rgba", side, "", "open: Permission denied\n"},
        {".", side, "", "open: Is a directory\n"},
        {"pipe.rgba", side, "Different sizes 0 compared to 32768\n", ""},
        {"shrinks.rgba", shrinking_width, "shrinks.rgba: the file shrank while it was read\n", ""},
        {"picture.rgba", 1L << 42, "picture.rgba: not enough memory to load the picture\n", ""},
    };
    alarm(60);  // a loader that waits for the pipe's writer would wait for ever
    for (const refusal& expected : refusals) {
        unsigned int refused = 1;
        const captured refusing = load_as_nobody(expected.file, expected.width, &refused);
        EXPECT_EQ(refused, 0u) << expected.file;
        EXPECT_EQ(refusing.out, "Reading " + expected.file + " graphic.\n" + expected.out);
        EXPECT_EQ(refusing.err.substr(0, refusing.err.find("==")), expected.err);
        int bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ((unsigned int)bound, texture) << expected.file << " unbound the picture loaded";
    }
    alarm(0);
    unsigned int loaded_again = 0;
    load_as_nobody("picture.rgba", side, &loaded_again);
    glDeleteTextures(1, &loaded_again);
    EXPECT_EQ(open_descriptors(), descriptors);
    glDeleteTextures(1, &texture);
}
