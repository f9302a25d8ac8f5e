// The raw RGBA16 loader against the real GL: what it uploads, and what it refuses.
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support.h"

// Cuts shrinks.rgba to half its size as soon as it is mapped, as a copy over it would.
extern "C" void* mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset) noexcept
{
    static const auto real = (void* (*)(void*, size_t, int, int, int, off_t))dlsym(RTLD_NEXT, "mmap");
    void* mapping = real(addr, length, prot, flags, fd, offset);
    std::error_code no_file;
    const auto file = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), no_file);
    if (file.filename() == "shrinks.rgba")
        truncate(file.c_str(), (off_t)length / 2);
    return mapping;
}

static long open_descriptors()
{
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
}

// Each file loads or is refused with its exact lines, as user nobody (root's file permission
// override dropped): a load takes one texture name and puts file row y at texture row 63 - y; a
// refusal gives 0 and takes none; neither leaves a descriptor open.
TEST(Loadtex, LoadsAndRefusals)
{
    REQUIRE_GL();
    TempDir dir;
    const std::string d = dir.path + "/";
    std::string picture;
    for (int i = 0; i < 64 * 64 * 4; i++)  // channels 257 * k survive a GL keeping 8 bits
        picture += {(char)(i % 251), (char)(i % 251)};
    std::string flipped;
    for (int row = 63; row >= 0; row--)
        flipped += picture.substr((size_t)row * 512, 512);
    for (const char* name : {"picture.rgba", "locked.rgba", "shrinks.rgba"})
        std::ofstream(d + name, std::ios::binary) << picture;
    std::ofstream(d + "short.rgba", std::ios::binary) << picture.substr(1);
    std::ofstream(d + "long.rgba", std::ios::binary) << picture + "x";
    for (const auto& [name, mode] :
         {std::pair{"", 0755}, {"picture.rgba", 0444}, {"locked.rgba", 0}, {"shrinks.rgba", 0666}})
        ASSERT_EQ(chmod((d + name).c_str(), (mode_t)mode), 0) << name;
    ASSERT_EQ(mkdir((d + "folder.rgba").c_str(), 0755), 0);
    ASSERT_EQ(mkfifo((d + "pipe.rgba").c_str(), 0644), 0);
    ASSERT_EQ(symlink("/dev/zero", (d + "device.rgba").c_str()), 0);
    const struct { std::string name, out, err; } cases[] = {
        {"picture.rgba", "Generating texture.\nCompleted mipmap.\n", ""},
        {"missing.rgba", "", "open: No such file or directory\n"},
        {"short.rgba", "Different sizes 32767 compared to 32768\n", ""},
        {"long.rgba", "Different sizes 32769 compared to 32768\n", ""},
        {"locked.rgba", "", "open: Permission denied\n"},
        {"folder.rgba", "", "open: Is a directory\n"},
        {"pipe.rgba", "Different sizes 0 compared to 32768\n", ""},
        {"device.rgba", "Different sizes 0 compared to 32768\n", ""},
        {"shrinks.rgba", d + "shrinks.rgba: the file shrank while it was read\n", ""},
    };
    alarm(60);  // a FIFO that blocks the open fails the test instead of hanging it
    for (const auto& c : cases) {
        const long descriptors = open_descriptors();
        unsigned int first = 0, next = 0, name = 0;
        glGenTextures(1, &first);
        setfsuid(65534);
        const captured lines = capture([&] { name = loadtex((d + c.name).c_str(), 64, 64); });
        setfsuid(0);
        glGenTextures(1, &next);
        EXPECT_EQ(lines.out, "Reading " + d + c.name + " graphic.\n" + c.out) << c.name;
        EXPECT_EQ(lines.err, c.err) << c.name;
        EXPECT_EQ(next - first - 1, name ? 1u : 0u) << c.name << ": texture names taken";
        EXPECT_EQ(open_descriptors(), descriptors) << c.name;
        EXPECT_EQ(name != 0, c.name == "picture.rgba") << c.name;
        std::string texels(picture.size(), '?');
        if (name)
            glGetTextureImage(name, 0, GL_RGBA, GL_UNSIGNED_SHORT, (GLsizei)texels.size(), texels.data());
        EXPECT_TRUE(!name || texels == flipped) << c.name << ": file row y is not texture row 63 - y";
        const unsigned int names[3] = {first, next, name};
        glDeleteTextures(3, names);
    }
    alarm(0);
}
