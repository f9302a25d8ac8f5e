// The picture loader on the real GL: the upload's rows and channels, and each refusal.
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <sys/fsuid.h>

#include "support.h"

// Failed allocations give null under AddressSanitizer too, as the refusal below needs.
extern "C" const char* __asan_default_options()
{
    return "allocator_may_return_null=1";
}

// Empties shrinks.rgba (63 x 64) as it is mapped.
extern "C" void* mmap(void* a, size_t n, int p, int f, int fd, off_t o) noexcept
{
    if (n == 63 * 64 * 8)
        truncate(("/proc/self/fd/" + std::to_string(fd)).c_str(), 0);
    return ((decltype(&mmap))dlsym(RTLD_NEXT, "mmap"))(a, n, p, f, fd, o);
}

TEST(Loadtex, LoadsAndRefusals)
{
    REQUIRE_GL();
    TempDir dir;
    ASSERT_FALSE(chdir(dir.path.c_str()) | chmod(".", 0755));
    std::string p = "picture.rgba", pic, flipped, texels(32768, 0);
    for (int i = 0; i < 16384; i++)  // 257 * k survives 8-bit storage
        pic.append(2, (char)(i % 251));
    for (int row = 64; row-- > 0;)
        flipped += pic.substr(row * 512u, 512);
    umask(0);
    std::ofstream(p) << pic;
    std::ofstream("shrinks.rgba") << pic.substr(512);
    chmod(p.c_str(), 0444);
    mknod("locked.rgba", S_IFREG, 0);  // unreadable
    mkfifo("pipe.rgba", 0644);
    // After "Reading <name> graphic.": out|err
    const struct {
        std::string name, lines;
        long width = 64;
    } cases[] = {
        {"missing.rgba", "|open: No such file or directory\n"},
        {p, "Different sizes 32768 compared to 33280\n|", 65},
        {p, "Different sizes 32768 compared to 32256\n|", 63},
        {"locked.rgba", "|open: Permission denied\n"},
        {".", "|open: Is a directory\n"},
        {"pipe.rgba", "Different sizes 0 compared to 32768\n|"},
        {"shrinks.rgba", "shrinks.rgba: the file shrank while it was read\n|", 63},
        {p, p + ": not enough memory to load the picture\n|", 1L << 42},
        {p, "Generating texture.\nCompleted mipmap.\n|"},
    };
    auto fds = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
    };
    const auto open = fds();
    unsigned int name = 0;
    alarm(60);  // a blocking FIFO fails
    for (const auto& c : cases) {
        setfsuid(65534);  // root ignores permissions
        auto got = capture([&] { name = loadtex(c.name.c_str(), c.width, 64); });
        setfsuid(0);
        EXPECT_EQ(got.out + "|" + got.err.substr(0, got.err.find("==")),
                  "Reading " + c.name + " graphic.\n" + c.lines);
    }
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_SHORT, texels.data());
    EXPECT_TRUE(texels == flipped && !glIsTexture(name - 1) && fds() == open);
}
