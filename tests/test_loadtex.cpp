// The raw RGBA16 loader against the real GL, and the row flip it uses.
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

#include "capture.h"
#include "glcontext.h"
#include "process.h"

namespace {

// Pixel i of a test picture: channels 257 * (4 i + c) stay exact even if the GL
// keeps only 8 bits per channel.
std::vector<unsigned short> numbered_picture(long width, long height)
{
    std::vector<unsigned short> values((size_t)(width * height * 4));
    for (size_t i = 0; i < values.size(); i++)
        values[i] = (unsigned short)(257 * (i % 256));
    return values;
}

// Writes the values as little-endian 16-bit channels.
void write_raw(const std::string& path, const std::vector<unsigned short>& values)
{
    std::ofstream file(path, std::ios::binary);
    for (unsigned short v : values) {
        file.put((char)(v & 0xFF));
        file.put((char)(v >> 8));
    }
}

std::vector<unsigned short> level0(unsigned int texture, long width, long height)
{
    std::vector<unsigned short> texels((size_t)(width * height * 4));
    glGetTextureImage(texture, 0, GL_RGBA, GL_UNSIGNED_SHORT, (int)(texels.size() * 2),
                      texels.data());
    return texels;
}

struct load_result {
    unsigned int name;
    captured output;
};

load_result load(const std::string& path, long width, long height)
{
    OutputCapture capture;
    const unsigned int name = loadtex(path.c_str(), width, height);
    return {name, capture.finish()};
}

int bound_texture()
{
    int name = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
    return name;
}

// Loads and checks that file row y became texture row height - 1 - y, texel by texel.
void expect_flipped_upload(long width, long height)
{
    TempDir dir;
    const std::string path = dir.path() + "/picture.rgba";
    const std::vector<unsigned short> file = numbered_picture(width, height);
    write_raw(path, file);
    const load_result r = load(path, width, height);
    ASSERT_NE(r.name, 0u);
    const std::vector<unsigned short> texels = level0(r.name, width, height);
    for (long y = 0; y < height; y++)
        for (long x = 0; x < width * 4; x++)
            ASSERT_EQ(texels[(size_t)((height - 1 - y) * width * 4 + x)], file[(size_t)(y * width * 4 + x)])
                << width << "x" << height << " file row " << y << " value " << x;
    glDeleteTextures(1, &r.name);
}

// Runs body without the capabilities that let root pass file permissions.
template <typename Body>
void without_permission_override(Body body)
{
    __user_cap_header_struct header = {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved[2] = {}, reduced[2] = {};
    ASSERT_EQ(syscall(SYS_capget, &header, saved), 0);
    reduced[0] = saved[0];
    reduced[1] = saved[1];
    reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    ASSERT_EQ(syscall(SYS_capset, &header, reduced), 0);
    body();
    syscall(SYS_capset, &header, saved);
}

}  // namespace

// The first 8 bytes become texel (0, height - 1), the last 8 bytes texel (width - 1, 0);
// a one-row picture is unchanged and a one-pixel-wide picture is flipped.
TEST(Loadtex, FlipsRowsOnUpload)
{
    REQUIRE_GL();
    expect_flipped_upload(4, 3);
    expect_flipped_upload(5, 1);
    expect_flipped_upload(1, 6);
}

// A success prints three lines, leaves the texture bound with linear filtering,
// repeat wrapping and a whole mipmap chain, and does not touch the file.
TEST(Loadtex, SuccessfulLoad)
{
    REQUIRE_GL();
    TempDir dir;
    const std::string path = dir.path() + "/output_start.rgba";
    write_raw(path, numbered_picture(1024, 1024));
    struct stat before;
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    const std::string bytes = read_file(path);

    const load_result r = load(path, 1024, 1024);
    ASSERT_NE(r.name, 0u);
    EXPECT_EQ(r.output.out, "Reading " + path + " graphic.\nGenerating texture.\nCompleted mipmap.\n");
    EXPECT_EQ(r.output.err, "");
    EXPECT_EQ(bound_texture(), (int)r.name);

    const std::pair<GLenum, int> parameters[] = {
        {GL_TEXTURE_WRAP_S, GL_REPEAT}, {GL_TEXTURE_WRAP_T, GL_REPEAT},
        {GL_TEXTURE_MIN_FILTER, GL_LINEAR}, {GL_TEXTURE_MAG_FILTER, GL_LINEAR},
    };
    for (const auto& [name, value] : parameters) {
        int actual = -1;
        glGetTextureParameteriv(r.name, name, &actual);
        EXPECT_EQ(actual, value) << name;
    }
    for (int level = 0; level <= 10; level++) {
        int width = 0;
        glGetTextureLevelParameteriv(r.name, level, GL_TEXTURE_WIDTH, &width);
        EXPECT_EQ(width, 1024 >> level) << "level " << level;
    }

    struct stat after;
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    EXPECT_EQ(read_file(path), bytes);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    glDeleteTextures(1, &r.name);
}

// A picture its user may read but not write loads like any other.
TEST(Loadtex, ReadOnlyPictureLoads)
{
    REQUIRE_GL();
    TempDir dir;
    const std::string path = dir.path() + "/readonly.rgba";
    write_raw(path, numbered_picture(2, 2));
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    load_result r{};
    without_permission_override([&] { r = load(path, 2, 2); });
    EXPECT_NE(r.name, 0u) << r.output.err;
    glDeleteTextures(1, &r.name);
}

// Every refusal prints its lines, returns 0, creates no texture and keeps the binding.
TEST(Loadtex, RefusalsMakeNothing)
{
    REQUIRE_GL();
    TempDir dir;
    const std::string d = dir.path();
    write_raw(d + "/short.rgba", std::vector<unsigned short>(8388607 / 2, 0));
    {
        std::ofstream odd(d + "/short.rgba", std::ios::binary | std::ios::app);
        odd.put(0);  // 8388607 bytes: one short of a 1024x1024 picture
    }
    ASSERT_EQ(mkdir((d + "/folder.rgba").c_str(), 0755), 0);
    ASSERT_EQ(mkfifo((d + "/pipe.rgba").c_str(), 0644), 0);
    ASSERT_EQ(symlink("/dev/zero", (d + "/device.rgba").c_str()), 0);
    write_raw(d + "/locked.rgba", numbered_picture(2, 2));
    ASSERT_EQ(chmod((d + "/locked.rgba").c_str(), 0), 0);

    const struct { std::string name; std::string out; std::string err; } cases[] = {
        {"short.rgba", "Different sizes 8388607 compared to 8388608\n", ""},
        {"missing.rgba", "", "open: No such file or directory\n"},
        {"folder.rgba", "", "open: Is a directory\n"},
        {"pipe.rgba", "Different sizes 0 compared to 8388608\n", ""},
        {"device.rgba", "Different sizes 0 compared to 8388608\n", ""},
        {"locked.rgba", "", "open: Permission denied\n"},
    };
    unsigned int dummy = 0;
    glGenTextures(1, &dummy);
    glBindTexture(GL_TEXTURE_2D, dummy);
    alarm(30);  // a FIFO that blocks the open must fail the test, not hang it
    for (const auto& c : cases) {
        const std::string path = d + "/" + c.name;
        unsigned int first = 0, next = 0;
        glGenTextures(1, &first);
        load_result r{};
        without_permission_override([&] { r = load(path, 1024, 1024); });
        glGenTextures(1, &next);
        EXPECT_EQ(r.name, 0u) << c.name;
        EXPECT_EQ(r.output.out, "Reading " + path + " graphic.\n" + c.out) << c.name;
        EXPECT_EQ(r.output.err, c.err) << c.name;
        EXPECT_EQ(next, first + 1) << c.name << ": a texture name was taken";
        EXPECT_EQ(bound_texture(), (int)dummy) << c.name;
        glDeleteTextures(1, &first);
        glDeleteTextures(1, &next);
    }
    alarm(0);
    glBindTexture(GL_TEXTURE_2D, 0);
    glDeleteTextures(1, &dummy);
}

// Whole rows move, whatever the width; nothing moves when a side is 0.
TEST(FlipimgRgba, ReversesRows)
{
    std::vector<unsigned short> image = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12,
                                         13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24};
    std::vector<unsigned short> scratch(24, 0);
    EXPECT_EQ(flipimg_rgba(3, 2, image.data(), scratch.data()), 0);
    const std::vector<unsigned short> flipped = {13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24,
                                                 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    EXPECT_EQ(image, flipped);
    EXPECT_EQ(scratch, flipped);

    std::vector<unsigned short> row = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(flipimg_rgba(2, 1, row.data(), scratch.data()), 0);
    EXPECT_EQ(row, (std::vector<unsigned short>{1, 2, 3, 4, 5, 6, 7, 8}));

    std::vector<unsigned short> untouched = {9, 9, 9, 9}, spare = {7, 7, 7, 7};
    EXPECT_EQ(flipimg_rgba(0, 1, untouched.data(), spare.data()), 0);
    EXPECT_EQ(flipimg_rgba(1, 0, untouched.data(), spare.data()), 0);
    EXPECT_EQ(untouched, (std::vector<unsigned short>{9, 9, 9, 9}));
    EXPECT_EQ(spare, (std::vector<unsigned short>{7, 7, 7, 7}));
}
