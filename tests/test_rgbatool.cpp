// The picture tool, run as a real program: PNG conversion both ways, refusals
// that leave no file behind, and the default picture set.
#include <gtest/gtest.h>
#include "process.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <png.h>
#include <set>
#include <sys/stat.h>

namespace {

constexpr int side = 1024;
constexpr size_t button_bytes = 8388608;
constexpr size_t background_bytes = 134217728;

struct result { int status; std::string err; };

// Runs the tool. `limited` runs it under a file size limit (ulimit -f 2048) far
// below its outputs' sizes, with SIGXFSZ ignored: its writes fail part-way, as on a full disk.
result run_tool(std::vector<std::string> args, bool limited = false)
{
    args.insert(args.begin(), RGBATOOL_BINARY);
    if (limited)
        args.insert(args.begin(), {"/bin/sh", "-c", "trap '' XFSZ; ulimit -f 2048; exec \"$@\"", "sh"});
    Child child(args, {}, "/");
    const int status = child.wait(300);
    return {status, child.err()};
}

// Every name in the directory, hidden ones too, so that a stray temporary file shows.
std::set<std::string> dir_names(const std::string& dir)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.insert(entry.path().filename());
    return names;
}

uint32_t hash(uint32_t x, uint32_t y, uint32_t c)
{
    uint32_t h = x * 73856093u ^ y * 19349663u ^ c * 83492791u;
    h = (h ^ h >> 13) * 0x5bd1e995u;
    return h ^ h >> 15;
}

using rgba = std::array<uint32_t, 4>;
constexpr int channels_of[] = {1, 0, 3, 1, 2, 0, 4};  // samples per pixel, by PNG colour type

// Pixel i of a raw picture, decoded here from the little-endian bytes.
rgba raw_pixel(const std::string& raw, size_t i)
{
    const auto* p = (const unsigned char*)raw.data() + i * 8;
    auto u16 = [p](int at) { return (uint32_t)(p[at] | p[at + 1] << 8); };
    return {u16(0), u16(2), u16(4), u16(6)};
}

// A PNG as stored: noise samples before any expansion, `channels` per pixel, rows
// top first. With a tRNS colour key (5 in every channel) the samples are below 8,
// so that many pixels have the key; with a palette the first 100 entries get alphas.
struct pngplan {
    int color_type, depth, width, channels;
    bool keyed, interlaced;
    std::vector<png_color> palette;
    std::vector<png_byte> trans;
    png_color_16 key{0, 5, 5, 5, 5};
    std::vector<uint32_t> samples;

    pngplan(int type, int bits, bool transparent = false, bool adam7 = false, int w = side)
        : color_type(type), depth(bits), width(w), channels(channels_of[type]),
          keyed(transparent && type != PNG_COLOR_TYPE_PALETTE), interlaced(adam7)
    {
        for (uint32_t y = 0; y < side; y++)
            for (uint32_t i = 0; i < (uint32_t)(width * channels); i++)
                samples.push_back(hash(i, y, 1) % (1u << (keyed ? 3 : depth)));
        for (uint32_t i = 0; type == PNG_COLOR_TYPE_PALETTE && i < 256; i++)
            palette.push_back({(png_byte)hash(i, 1, 0), (png_byte)hash(i, 2, 0), (png_byte)hash(i, 3, 0)});
        for (uint32_t i = 0; transparent && !keyed && i < 100; i++)
            trans.push_back((png_byte)hash(i, 4, 0));
    }
};

void write_png(const std::string& path, const pngplan& s)
{
    // One byte per sample below 16 bits (libpng packs them), big-endian pairs at 16.
    const size_t size = s.depth == 16 ? 2 : 1, row_bytes = (size_t)s.width * s.channels * size;
    std::vector<png_byte> bytes(s.samples.size() * size);
    for (size_t i = 0; i < s.samples.size(); i++) {
        if (size == 2)
            bytes[2 * i] = (png_byte)(s.samples[i] >> 8);
        bytes[size * i + size - 1] = (png_byte)s.samples[i];
    }
    std::vector<png_bytep> rows;
    for (size_t y = 0; y < side; y++)
        rows.push_back(bytes.data() + y * row_bytes);
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_compression_level(png, 1);
    png_set_IHDR(png, info, s.width, side, s.depth, s.color_type,
                 s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!s.palette.empty())
        png_set_PLTE(png, info, s.palette.data(), (int)s.palette.size());
    if (!s.trans.empty() || s.keyed)
        png_set_tRNS(png, info, s.trans.data(), (int)s.trans.size(), s.keyed ? &s.key : nullptr);
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_PACKING, nullptr);
    png_destroy_write_struct(&png, &info);
    fclose(file);
}

// What pixel i must become: samples scaled exactly to 16 bits, grey copied to
// red, green and blue, palettes looked up, opaque unless alpha or tRNS says otherwise.
rgba expected_pixel(const pngplan& s, size_t i)
{
    const uint32_t* v = s.samples.data() + i * s.channels;
    if (s.color_type == PNG_COLOR_TYPE_PALETTE) {
        const png_color c = s.palette[v[0]];
        const uint32_t alpha = v[0] < s.trans.size() ? s.trans[v[0]] * 257u : 65535;
        return {c.red * 257u, c.green * 257u, c.blue * 257u, alpha};
    }
    const uint32_t max = (1u << s.depth) - 1, g = s.channels < 3 ? 0 : 1;  // grey: one sample for all three
    const bool key = s.keyed && v[0] == 5 && v[g] == 5 && v[2 * g] == 5;
    const uint32_t alpha = s.channels % 2 == 0 ? v[s.channels - 1] : key ? 0 : max;
    return {v[0] * 65535 / max, v[g] * 65535 / max, v[2 * g] * 65535 / max, alpha * 65535 / max};
}

}  // namespace

// Every PNG flavour expands exactly: v*257 at 8 bits, grey to all three colours,
// palettes looked up, tRNS turned into alpha, opaque otherwise. The raw file from
// a 16-bit PNG converts to a PNG and back to the same bytes.
TEST(rgbatool, PngsExpandExactlyAndSurviveRoundTrip)
{
    const pngplan plans[] = {
        {PNG_COLOR_TYPE_RGB_ALPHA, 16}, {PNG_COLOR_TYPE_RGB_ALPHA, 8}, {PNG_COLOR_TYPE_RGB, 8},
        {PNG_COLOR_TYPE_GRAY, 8},       {PNG_COLOR_TYPE_GRAY_ALPHA, 8}, {PNG_COLOR_TYPE_GRAY, 16},
        {PNG_COLOR_TYPE_GRAY, 1},       {PNG_COLOR_TYPE_GRAY, 4, true}, {PNG_COLOR_TYPE_RGB, 16, true},
        {PNG_COLOR_TYPE_PALETTE, 8},    {PNG_COLOR_TYPE_PALETTE, 8, true},  // with and without tRNS
        {PNG_COLOR_TYPE_RGB_ALPHA, 8, false, true},                          // interlaced
    };
    TempDir dir;
    const std::string d = dir.path();
    for (const pngplan& s : plans) {
        SCOPED_TRACE(testing::Message() << "flavour " << &s - plans << ": colour type " << s.color_type);
        write_png(d + "/in.png", s);
        ASSERT_EQ(run_tool({"button", d + "/in.png", d + "/in.rgba"}).status, 0);
        const std::string raw = read_file(d + "/in.rgba");
        ASSERT_EQ(raw.size(), button_bytes);
        for (size_t i = 0, bad = 0; i < (size_t)side * side; i++)
            if (raw_pixel(raw, i) != expected_pixel(s, i) && bad++ == 0)
                ADD_FAILURE() << "first wrong pixel: (" << i % side << ", " << i / side << ")";
        if (s.depth == 16 && s.channels == 4) {
            ASSERT_EQ(run_tool({"png", d + "/in.rgba", d + "/out.png"}).status, 0);
            ASSERT_EQ(run_tool({"button", d + "/out.png", d + "/again.rgba"}).status, 0);
            EXPECT_TRUE(read_file(d + "/again.rgba") == raw);
        }
    }
}

// Bad input, and writes that fail part-way, exit 1 with a message naming the file
// and the trouble, and leave the output as it was (absent, or with its old
// contents) and no temporary file.
TEST(rgbatool, FailuresLeaveNoOutputBehind)
{
    TempDir dir;
    const std::string d = dir.path();
    write_png(d + "/narrow.png", pngplan(PNG_COLOR_TYPE_RGB, 8, false, false, side - 1));
    write_png(d + "/button.png", pngplan(PNG_COLOR_TYPE_RGB, 8));
    const std::string good = read_file(d + "/button.png");
    std::string corrupt = good;
    corrupt[corrupt.size() / 2] ^= 0x10;
    auto put = [&d](const std::string& name, const std::string& text) { std::ofstream(d + name) << text; };
    put("/truncated.png", good.substr(0, good.size() / 2));
    put("/no-end.png", good.substr(0, good.size() - 12));  // all pixels, no IEND chunk
    put("/corrupt.png", corrupt);
    put("/text.png", "not a picture\n");
    put("/short.rgba", std::string(button_bytes - 1, '\0'));
    ASSERT_EQ(run_tool({"button", d + "/button.png", d + "/noise.rgba"}).status, 0);  // its PNG is over the limit
    mkdir((d + "/taken").c_str(), 0755);

    const std::vector<std::vector<std::string>> runs = {  // arguments, then words of the message
        {"button", "narrow.png", "out", "narrow.png: ", "1023x1024", "1024x1024"},
        {"background", "button.png", "out", "button.png: ", "1024x1024", "4096x4096"},
        {"button", "truncated.png", "out", "truncated.png: ", "truncated"},
        {"button", "no-end.png", "out", "no-end.png: ", "truncated"},
        {"button", "corrupt.png", "out", "corrupt.png: "},
        {"button", "text.png", "out", "text.png: not a PNG"},
        {"button", "missing.png", "out", "missing.png: ", "No such file"},
        {"png", "short.rgba", "out", "short.rgba: ", "8388607"},
        {"png", "missing.rgba", "out", "missing.rgba: ", "No such file"},
        {"button", "button.png", "none/out", "none/out: ", "No such file"},
        // Complete files that cannot be renamed onto a directory.
        {"button", "button.png", "taken", "taken: ", "Is a directory"},
        {"png", "noise.rgba", "taken", "taken: ", "Is a directory"},
        // Run under the file size limit.
        {"button", "button.png", "out", "out: cannot write: File too large"},
        {"png", "noise.rgba", "out", "out: cannot write: File too large"},
    };
    for (const auto& run : runs) {
        for (bool existing : {false, true}) {
            SCOPED_TRACE(run[0] + " " + run[1] + " " + run[2] + (existing ? " over an old output" : ""));
            std::filesystem::remove(d + "/out");
            if (existing)
                put("/out", "keep me");
            const std::set<std::string> before = dir_names(d);
            const bool limited = run[3].find("File too large") != std::string::npos;
            const result r = run_tool({run[0], d + "/" + run[1], d + "/" + run[2]}, limited);
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.err.rfind("rgbatool: " + d + "/", 0), 0u) << r.err;
            for (size_t i = 3; i < run.size(); i++)
                EXPECT_NE(r.err.find(run[i]), std::string::npos) << "'" << run[i] << "' not in: " << r.err;
            EXPECT_EQ(dir_names(d), before);
            EXPECT_EQ(read_file(d + "/out").substr(0, 64), existing ? "keep me" : "");
            EXPECT_TRUE(dir_names(d + "/taken").empty());
        }
    }
}

// Wrong arguments print the usage and exit 2.
TEST(rgbatool, BadArgumentsPrintUsage)
{
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"paint"}, {"button", "in.png"}, {"png", "a", "b", "c"}, {"defaults", "a", "b"}}) {
        const result r = run_tool(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("usage: rgbatool"), std::string::npos) << r.err;
    }
}

// The default set is seven files of the right sizes, the same bytes on every run.
// Each label is a large, dark, centred word of natural proportions on the 3:1
// face, with gold (transparent texels) all around; the blank face is all gold.
// The background is opaque, smooth, shows every hue, and survives a PNG unchanged.
TEST(rgbatool, DefaultSet)
{
    TempDir first, second;
    const std::string d = first.path();
    ASSERT_EQ(run_tool({"defaults", d}).status, 0);
    ASSERT_EQ(run_tool({"defaults", second.path()}).status, 0);
    const std::set<std::string> names = {"output_blank.rgba",   "output_coord.rgba", "output_edit.rgba",
                                         "output_observe.rgba", "output_quit.rgba",  "output_spinrgb.rgba",
                                         "output_start.rgba"};
    ASSERT_EQ(dir_names(d), names);
    std::set<std::string> buttons;
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string raw = read_file(d + "/" + name);
        const bool background = name == "output_spinrgb.rgba";
        ASSERT_EQ(raw.size(), background ? background_bytes : button_bytes);
        EXPECT_TRUE(raw == read_file(second.path() + "/" + name)) << "not the same on the second run";
        if (background)
            continue;
        EXPECT_TRUE(buttons.insert(raw).second) << "the same picture as another button";
        // The smallest box x0..x1, y0..y1 around the opaque texels.
        int x0 = side, y0 = side, x1 = -1, y1 = -1, opaque = 0, dark = 0;
        for (int i = 0; i < side * side; i++) {
            const rgba p = raw_pixel(raw, i);
            if (p[3] < 32768)
                continue;
            x0 = std::min(x0, i % side);
            y0 = std::min(y0, i / side);
            x1 = std::max(x1, i % side);
            y1 = std::max(y1, i / side);
            opaque += p[3] == 65535;
            dark += p[3] == 65535 && p[0] + p[1] + p[2] < 3 * 65535 / 4;
        }
        if (name == "output_blank.rgba") {
            EXPECT_EQ(x1, -1) << "the blank face has opaque texels";
            continue;
        }
        const int width = x1 - x0 + 1, height = y1 - y0 + 1;
        EXPECT_TRUE(x0 >= 32 && y0 >= 32 && x1 < side - 32 && y1 < side - 32) << "no gold border";
        EXPECT_NEAR(x0 + x1, side, 40) << "not centred across";
        EXPECT_NEAR(y0 + y1, side, 100) << "not centred up and down";
        EXPECT_GE(std::min(width, height), side * 3 / 10) << "too small";
        EXPECT_TRUE(3.0 * width / height > 1.5 && 3.0 * width / height < 10) << "distorted on the face";
        EXPECT_GT(opaque, width * height / 10);
        EXPECT_GT(dark, opaque / 2) << "the letters are not dark";
    }

    // The hue sextant of a saturated pixel is the order of its channels: which is largest, which smallest.
    const std::string raw = read_file(d + "/output_spinrgb.rgba");
    constexpr int w = 4096;
    int translucent = 0;
    uint32_t steepest = 0;  // largest change of a channel between neighbours across
    std::set<long> sextants;
    for (int i = 0; i < w * w; i++) {
        const rgba p = raw_pixel(raw, i), left = raw_pixel(raw, i % w ? i - 1 : i);
        translucent += p[3] != 65535;
        for (int c = 0; c < 3; c++)
            steepest = std::max(steepest, p[c] > left[c] ? p[c] - left[c] : left[c] - p[c]);
        const auto [lo, hi] = std::minmax_element(p.begin(), p.begin() + 3);
        if (i % 64 == 0 && i / w % 64 == 0 && *hi - *lo >= *hi / 3)
            sextants.insert((hi - p.begin()) * 3 + (lo - p.begin()));
    }
    EXPECT_EQ(translucent, 0);
    EXPECT_LT(steepest, 1500u) << "neighbouring pixels jump in colour";
    EXPECT_EQ(sextants.size(), 6u);
    ASSERT_EQ(run_tool({"png", d + "/output_spinrgb.rgba", d + "/spin.png"}).status, 0);
    ASSERT_EQ(run_tool({"background", d + "/spin.png", d + "/again.rgba"}).status, 0);
    EXPECT_TRUE(read_file(d + "/again.rgba") == raw);
}
