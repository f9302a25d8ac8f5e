// The picture tool, run as a real program: PNG conversion both ways, refusals
// that leave no file behind, and the default picture set.
#include <gtest/gtest.h>
#include "process.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <csignal>
#include <dirent.h>
#include <fstream>
#include <png.h>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

constexpr int side = 1024;
constexpr size_t button_bytes = 8388608;
constexpr size_t background_bytes = 134217728;

// Runs the tool; its exit status, with its standard error in `err`. A file size
// limit makes its writes fail part-way, as on a full disk.
int run_tool(const std::vector<std::string>& args, std::string* err = nullptr,
             rlim_t file_limit = RLIM_INFINITY)
{
    std::vector<std::string> argv = {RGBATOOL_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    // The child inherits both while forking; this process gets its own back at once.
    rlimit old_limit;
    getrlimit(RLIMIT_FSIZE, &old_limit);
    const rlimit limit = {file_limit, old_limit.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limit);
    void (*old_handler)(int) = signal(SIGXFSZ, SIG_IGN);
    Child child(argv, {}, "/");
    signal(SIGXFSZ, old_handler);
    setrlimit(RLIMIT_FSIZE, &old_limit);
    const int status = child.wait(300);
    if (err)
        *err = child.err();
    return status;
}

std::set<std::string> dir_names(const std::string& dir)
{
    std::set<std::string> names;
    DIR* d = opendir(dir.c_str());
    while (const dirent* e = d ? readdir(d) : nullptr)
        if (e->d_name[0] != '.')
            names.insert(e->d_name);
    if (d)
        closedir(d);
    return names;
}

void write_text(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

uint32_t hash(uint32_t x, uint32_t y, uint32_t c)
{
    uint32_t h = x * 73856093u ^ y * 19349663u ^ c * 83492791u;
    h = (h ^ h >> 13) * 0x5bd1e995u;
    return h ^ h >> 15;
}

using rgba = std::array<uint32_t, 4>;

// Pixel i of a raw picture, decoded here from the little-endian bytes.
rgba raw_pixel(const std::string& raw, size_t i)
{
    const auto* p = (const unsigned char*)raw.data() + i * 8;
    auto u16 = [p](int at) { return (uint32_t)(p[at] | p[at + 1] << 8); };
    return {u16(0), u16(2), u16(4), u16(6)};
}

// A PNG as stored: samples before any expansion, `channels` per pixel, rows top first.
struct pngplan {
    int width = side, height = side, color_type = 0, depth = 8, channels = 1;
    bool interlaced = false;
    std::vector<png_color> palette;
    std::vector<png_byte> trans;  // palette alphas
    bool keyed = false;           // a tRNS colour key
    png_color_16 key{0, 5, 6, 7, 5};
    std::vector<uint32_t> samples;
};

pngplan noise_png(int color_type, int depth, int width = side)
{
    constexpr int channels_of[] = {1, 0, 3, 1, 2, 0, 4};  // indexed by PNG colour type
    pngplan s;
    s.width = width;
    s.color_type = color_type;
    s.depth = depth;
    s.channels = channels_of[color_type];
    for (int y = 0; y < side; y++)
        for (int i = 0; i < width * s.channels; i++)
            s.samples.push_back(hash((uint32_t)i, (uint32_t)y, 1) % (1u << depth));
    return s;
}

void write_png(const std::string& path, const pngplan& s)
{
    const size_t n = (size_t)s.width * s.channels;
    std::vector<std::vector<png_byte>> rows(s.height, std::vector<png_byte>((n * s.depth + 7) / 8));
    std::vector<png_bytep> pointers;
    for (int y = 0; y < s.height; y++) {
        png_byte* row = rows[y].data();
        for (size_t i = 0; i < n; i++) {
            const uint32_t v = s.samples[y * n + i];
            if (s.depth == 16) {  // big-endian
                row[2 * i] = (png_byte)(v >> 8);
                row[2 * i + 1] = (png_byte)v;
            } else {  // high bits first
                row[i * s.depth / 8] |= (png_byte)(v << (8 - s.depth - i * s.depth % 8));
            }
        }
        pointers.push_back(row);
    }
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_compression_level(png, 1);
        png_set_IHDR(png, info, s.width, s.height, s.depth, s.color_type,
                     s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        if (!s.palette.empty())
            png_set_PLTE(png, info, s.palette.data(), (int)s.palette.size());
        if (!s.trans.empty() || s.keyed)
            png_set_tRNS(png, info, s.trans.data(), (int)s.trans.size(), s.keyed ? &s.key : nullptr);
        png_write_info(png, info);
        png_set_interlace_handling(png);
        png_write_image(png, pointers.data());
        png_write_end(png, nullptr);
    } else {
        ADD_FAILURE() << "libpng could not write " << path;
    }
    png_destroy_write_struct(&png, &info);
    fclose(file);
}

// What pixel i must become: samples scaled exactly to 16 bits, grey copied to
// red, green and blue, palettes looked up, opaque unless alpha or tRNS says otherwise.
rgba expected_pixel(const pngplan& s, size_t i)
{
    const uint32_t* v = s.samples.data() + i * s.channels;
    auto widen = [&s](uint32_t value) { return value * 65535 / ((1u << s.depth) - 1); };
    if (s.color_type == PNG_COLOR_TYPE_PALETTE) {
        const png_color c = s.palette[v[0]];
        return {c.red * 257u, c.green * 257u, c.blue * 257u, v[0] < s.trans.size() ? s.trans[v[0]] * 257u : 65535};
    }
    const bool grey = s.channels < 3;
    const rgba colour = {widen(v[0]), widen(v[grey ? 0 : 1]), widen(v[grey ? 0 : 2]), 0};
    if (s.channels == 2 || s.channels == 4)
        return {colour[0], colour[1], colour[2], widen(v[s.channels - 1])};
    const bool key = grey ? v[0] == s.key.gray : v[0] == s.key.red && v[1] == s.key.green && v[2] == s.key.blue;
    return {colour[0], colour[1], colour[2], s.keyed && key ? 0u : 65535u};
}

// Converts the PNG into a button picture and counts the pixels that came out wrong.
int converted_mismatches(const std::string& dir, const pngplan& s)
{
    write_png(dir + "/in.png", s);
    EXPECT_EQ(run_tool({"button", dir + "/in.png", dir + "/in.rgba"}), 0);
    const std::string raw = read_file(dir + "/in.rgba");
    EXPECT_EQ(raw.size(), button_bytes);
    int bad = 0;
    for (size_t i = 0; i < (size_t)side * side && raw.size() == button_bytes; i++)
        if (raw_pixel(raw, i) != expected_pixel(s, i) && bad++ == 0)
            ADD_FAILURE() << "first wrong pixel: (" << i % side << ", " << i / side << ")";
    return bad;
}

}  // namespace

// A 16-bit PNG converts exactly, and a PNG made from the raw file converts back to the same bytes.
TEST(rgbatool, SixteenBitPngSurvivesRoundTripExactly)
{
    TempDir dir;
    const std::string d = dir.path();
    EXPECT_EQ(converted_mismatches(d, noise_png(PNG_COLOR_TYPE_RGB_ALPHA, 16)), 0);
    ASSERT_EQ(run_tool({"png", d + "/in.rgba", d + "/out.png"}), 0);
    ASSERT_EQ(run_tool({"button", d + "/out.png", d + "/again.rgba"}), 0);
    EXPECT_TRUE(read_file(d + "/again.rgba") == read_file(d + "/in.rgba"));
}

// Every narrower PNG flavour expands exactly: v*257 at 8 bits, grey to all three
// colours, palettes looked up, tRNS turned into alpha, opaque otherwise.
TEST(rgbatool, NarrowerPngsExpandExactly)
{
    struct flavour {
        const char* name;
        int color_type, depth;
        bool keyed = false, interlaced = false;
    };
    const flavour flavours[] = {
        {"RGBA 8", PNG_COLOR_TYPE_RGB_ALPHA, 8},       {"RGB 8", PNG_COLOR_TYPE_RGB, 8},
        {"grey 8", PNG_COLOR_TYPE_GRAY, 8},            {"grey+alpha 8", PNG_COLOR_TYPE_GRAY_ALPHA, 8},
        {"grey 16", PNG_COLOR_TYPE_GRAY, 16},          {"grey 1", PNG_COLOR_TYPE_GRAY, 1},
        {"grey 4, tRNS", PNG_COLOR_TYPE_GRAY, 4, true}, {"RGB 16, tRNS", PNG_COLOR_TYPE_RGB, 16, true},
        {"palette", PNG_COLOR_TYPE_PALETTE, 8},        {"palette, short tRNS", PNG_COLOR_TYPE_PALETTE, 8, true},
        {"RGBA 8 interlaced", PNG_COLOR_TYPE_RGB_ALPHA, 8, false, true},
    };
    TempDir dir;
    for (const flavour& f : flavours) {
        SCOPED_TRACE(f.name);
        pngplan s = noise_png(f.color_type, f.depth);
        s.interlaced = f.interlaced;
        if (f.color_type == PNG_COLOR_TYPE_PALETTE) {
            for (uint32_t i = 0; i < 256; i++)
                s.palette.push_back({(png_byte)hash(i, 1, 0), (png_byte)hash(i, 2, 0), (png_byte)hash(i, 3, 0)});
            for (uint32_t i = 0; f.keyed && i < 100; i++)  // later entries stay opaque
                s.trans.push_back((png_byte)hash(i, 4, 0));
        } else if (f.keyed) {  // every eighth pixel has the key colour
            s.keyed = true;
            const uint32_t key[] = {s.key.red, s.key.green, s.key.blue};
            for (size_t i = 0; i < s.samples.size(); i += 8 * s.channels)
                for (int c = 0; c < s.channels; c++)
                    s.samples[i + c] = s.channels == 1 ? s.key.gray : key[c];
        }
        EXPECT_EQ(converted_mismatches(dir.path(), s), 0);
    }
}

// Bad input exits 1 with a message naming the file and the trouble, and leaves the
// output as it was (absent, or with its old contents) and no temporary file.
TEST(rgbatool, BadInputLeavesNoOutputBehind)
{
    TempDir dir;
    const std::string d = dir.path();
    write_png(d + "/narrow.png", noise_png(PNG_COLOR_TYPE_RGB, 8, side - 1));
    write_png(d + "/button.png", noise_png(PNG_COLOR_TYPE_RGB, 8));
    const std::string good = read_file(d + "/button.png");
    write_text(d + "/truncated.png", good.substr(0, good.size() / 2));
    write_text(d + "/no-end.png", good.substr(0, good.size() - 12));  // all pixels, no IEND chunk
    std::string corrupt = good;
    corrupt[corrupt.size() / 2] ^= 0x10;
    write_text(d + "/corrupt.png", corrupt);
    write_text(d + "/text.png", "not a picture\n");
    write_text(d + "/short.rgba", std::string(button_bytes - 1, '\0'));
    write_text(d + "/zero.rgba", std::string(button_bytes, '\0'));
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
        {"png", "zero.rgba", "taken", "taken: ", "Is a directory"},
    };
    for (const auto& run : runs) {
        for (bool existing : {false, true}) {
            SCOPED_TRACE(run[0] + " " + run[1] + " " + run[2] + (existing ? " over an old output" : ""));
            std::remove((d + "/out").c_str());
            if (existing)
                write_text(d + "/out", "keep me");
            const std::set<std::string> before = dir_names(d);
            std::string err;
            EXPECT_EQ(run_tool({run[0], d + "/" + run[1], d + "/" + run[2]}, &err), 1);
            EXPECT_EQ(err.rfind("rgbatool: " + d + "/", 0), 0u) << err;
            for (size_t i = 3; i < run.size(); i++)
                EXPECT_NE(err.find(run[i]), std::string::npos) << "'" << run[i] << "' not in: " << err;
            EXPECT_EQ(dir_names(d), before);
            EXPECT_EQ(read_file(d + "/out").substr(0, 64), existing ? "keep me" : "");
            EXPECT_TRUE(dir_names(d + "/taken").empty());
        }
    }
}

// A write that fails part-way leaves the old output and no temporary file.
TEST(rgbatool, FailedWriteKeepsTheOldOutput)
{
    TempDir dir;
    const std::string d = dir.path();
    write_png(d + "/button.png", noise_png(PNG_COLOR_TYPE_RGB, 8));
    std::string noise(button_bytes, '\0');  // so that its PNG too is larger than the limit
    for (size_t i = 0; i < noise.size(); i++)
        noise[i] = (char)hash((uint32_t)i, 0, 0);
    write_text(d + "/button.rgba", noise);
    for (const std::string in : {"button.png", "button.rgba"}) {
        SCOPED_TRACE(in);
        write_text(d + "/out", "keep me");
        const std::set<std::string> before = dir_names(d);
        std::string err;
        const std::string command = in == "button.png" ? "button" : "png";
        EXPECT_EQ(run_tool({command, d + "/" + in, d + "/out"}, &err, 1 << 20), 1);
        EXPECT_NE(err.find(d + "/out: cannot write: File too large"), std::string::npos) << err;
        EXPECT_EQ(read_file(d + "/out").substr(0, 64), "keep me");
        EXPECT_EQ(dir_names(d), before);
    }
}

// Wrong arguments print the usage and exit 2.
TEST(rgbatool, BadArgumentsPrintUsage)
{
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"paint"}, {"button", "in.png"}, {"png", "a", "b", "c"}, {"defaults", "a", "b"}}) {
        std::string err;
        EXPECT_EQ(run_tool(args, &err), 2);
        EXPECT_NE(err.find("usage: rgbatool"), std::string::npos) << err;
    }
}

namespace {

const char* const labelled[] = {"output_start.rgba", "output_coord.rgba", "output_observe.rgba",
                                "output_edit.rgba", "output_quit.rgba"};

// The smallest box around a button picture's opaque texels: x0, y0, x1, y1 inclusive.
std::array<int, 4> opaque_box(const std::string& raw)
{
    std::array<int, 4> box = {side, side, -1, -1};
    for (int i = 0; i < side * side; i++)
        if (raw_pixel(raw, i)[3] >= 32768)
            box = {std::min(box[0], i % side), std::min(box[1], i / side),
                   std::max(box[2], i % side), std::max(box[3], i / side)};
    return box;
}

}  // namespace

// The default set is seven files of the right sizes, the same bytes on every run.
TEST(rgbatool, DefaultsAreSevenFilesSameOnEveryRun)
{
    TempDir first, second;
    ASSERT_EQ(run_tool({"defaults", first.path()}), 0);
    ASSERT_EQ(run_tool({"defaults", second.path()}), 0);
    std::set<std::string> names(std::begin(labelled), std::end(labelled));
    names.insert({"output_blank.rgba", "output_spinrgb.rgba"});
    ASSERT_EQ(dir_names(first.path()), names);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string a = read_file(first.path() + "/" + name);
        EXPECT_EQ(a.size(), name == "output_spinrgb.rgba" ? background_bytes : button_bytes);
        EXPECT_TRUE(a == read_file(second.path() + "/" + name));
    }
}

// Each label is a large, dark, centred word, of natural proportions on the 3:1
// face, with gold (transparent texels) all around; the blank face is all gold.
TEST(rgbatool, DefaultLabelsStandOnGold)
{
    TempDir dir;
    ASSERT_EQ(run_tool({"defaults", dir.path()}), 0);
    std::set<std::string> pictures;
    for (const char* name : labelled) {
        SCOPED_TRACE(name);
        const std::string raw = read_file(dir.path() + "/" + name);
        ASSERT_EQ(raw.size(), button_bytes);
        EXPECT_TRUE(pictures.insert(raw).second) << "two labels are the same picture";
        const auto [x0, y0, x1, y1] = opaque_box(raw);
        const int width = x1 - x0 + 1, height = y1 - y0 + 1;
        EXPECT_TRUE(x0 >= 32 && y0 >= 32 && x1 < side - 32 && y1 < side - 32) << "no gold border";
        EXPECT_NEAR(x0 + x1, side, 40) << "not centred across";
        EXPECT_NEAR(y0 + y1, side, 100) << "not centred up and down";
        EXPECT_GE(std::min(width, height), side * 3 / 10) << "too small";
        EXPECT_TRUE(3.0 * width / height > 1.5 && 3.0 * width / height < 10) << "distorted on the face";
        int opaque = 0, dark = 0;
        for (int y = y0; y <= y1; y++)
            for (int x = x0; x <= x1; x++) {
                const rgba p = raw_pixel(raw, (size_t)y * side + x);
                opaque += p[3] == 65535;
                dark += p[3] == 65535 && p[0] + p[1] + p[2] < 3 * 65535 / 4;
            }
        EXPECT_GT(opaque, width * height / 10);
        EXPECT_GT(dark, opaque / 2) << "the letters are not dark";
    }
    const std::string blank = read_file(dir.path() + "/output_blank.rgba");
    ASSERT_EQ(blank.size(), button_bytes);
    EXPECT_EQ(opaque_box(blank)[2], -1) << "the blank face has opaque texels";
}

// The background is opaque, smooth and shows every hue, and it comes back
// unchanged through a PNG.
TEST(rgbatool, DefaultBackgroundIsAnOpaqueSmoothRainbow)
{
    TempDir dir;
    const std::string d = dir.path();
    ASSERT_EQ(run_tool({"defaults", d}), 0);
    const std::string raw = read_file(d + "/output_spinrgb.rgba");
    ASSERT_EQ(raw.size(), background_bytes);
    constexpr int w = 4096;
    int translucent = 0;
    uint32_t steepest = 0;  // largest change of a channel between neighbours across
    std::set<int> hues;     // sixths of the hue circle seen in well-saturated pixels
    rgba left{};
    for (int i = 0; i < w * w; i++) {
        const rgba p = raw_pixel(raw, i);
        translucent += p[3] != 65535;
        for (int c = 0; c < 3 && i % w; c++)
            steepest = std::max(steepest, p[c] > left[c] ? p[c] - left[c] : left[c] - p[c]);
        left = p;
        const auto [lo, hi] = std::minmax({p[0], p[1], p[2]});
        if (i % 64 || i / w % 64 || hi - lo < hi / 3)
            continue;
        const double r = p[0], g = p[1], b = p[2], span = hi - lo;
        const double h = hi == p[0] ? (g - b) / span : hi == p[1] ? 2 + (b - r) / span : 4 + (r - g) / span;
        hues.insert((int)std::floor(h + 6.5) % 6);
    }
    EXPECT_EQ(translucent, 0);
    EXPECT_LT(steepest, 1500u) << "neighbouring pixels jump in colour";
    EXPECT_EQ(hues.size(), 6u);

    ASSERT_EQ(run_tool({"png", d + "/output_spinrgb.rgba", d + "/spin.png"}), 0);
    ASSERT_EQ(run_tool({"background", d + "/spin.png", d + "/again.rgba"}), 0);
    EXPECT_TRUE(read_file(d + "/again.rgba") == raw);
}
