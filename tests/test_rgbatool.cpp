// The picture tool run as a program: conversions, refusals, outputs, the default set.
#include <gtest/gtest.h>
#include "support.h"

#include <csignal>
#include <filesystem>
#include <map>
#include <png.h>

namespace fs = std::filesystem;
constexpr uint32_t side = 1024, button_bytes = side * side * 8;

// Runs "rgbatool <command>" in `dir` through sh, after the shell commands `before`.
std::pair<int, std::string> run(const TempDir& dir, const std::string& command, const std::string& before = "")
{
    Child child({"/bin/sh", "-c", before + "exec \"$0\" " + command, RGBATOOL_BINARY}, {"LD_PRELOAD="}, dir.path);
    const int status = child.wait(120);
    return {status, child.err()};
}

// Every file under `dir`, hidden ones too, with a hash of its contents or link.
std::map<std::string, size_t> snapshot(const std::string& dir)
{
    std::map<std::string, size_t> files;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        files[e.path()] = std::hash<std::string>()(e.is_symlink() ? "-> " + fs::read_symlink(e).string()
                                                                  : e.is_regular_file() ? read_file(e.path()) : "");
    return files;
}

// A PNG of noise samples. A palette picture takes its own first samples as its
// 256 colours and the alphas of the first 100 (tRNS). A `tail` of 32 GiB follows
// the picture, in chunks of 4 MiB with no end: minutes to read, sparse on disk.
struct kind { int type, depth, interlace; bool tail; };  // types: 2 RGB, 3 palette, 4 grey and alpha, 6 RGBA
constexpr uint32_t channels_of[] = {1, 0, 3, 1, 2, 0, 4};  // by colour type
uint32_t noise(uint32_t i) { i = (i ^ 0x5bd1e995u) * 0x9e3779b1u; return (i ^ i >> 15) * 0x85ebca77u; }
uint32_t sample(const kind& k, size_t i) { return noise((uint32_t)i) >> (32 - k.depth); }

void write_png(const std::string& path, const kind& k, uint32_t height = side)
{
    const uint32_t row = side * channels_of[k.type] * (uint32_t)k.depth / 8;
    std::vector<png_byte> data((size_t)row * height);
    for (size_t i = 0; i < data.size(); i++)  // big-endian at 16 bits
        data[i] = (png_byte)(k.depth == 16 ? sample(k, i / 2) >> (i % 2 ? 0 : 8) : sample(k, i));
    FILE* file = fopen(path.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, side, height, k.depth, k.type, k.interlace, 0, 0);
    if (k.type == PNG_COLOR_TYPE_PALETTE)
        png_set_PLTE(png, info, (png_colorp)data.data(), 256), png_set_tRNS(png, info, &data[768], 100, nullptr);
    png_write_info(png, info);
    for (int pass = png_set_interlace_handling(png); pass > 0; pass--)
        for (size_t y = 0; y < height; y++)
            png_write_row(png, &data[y * row]);
    for (int i = 0; k.tail && i < 8192; i++)  // ancillary chunks, skipped for their wrong CRC; the rest are holes
        fwrite("\0\100\0\0taIl", 8, 1, file), fseek(file, (1 << 22) + 4, SEEK_CUR);
    if (!k.tail)
        png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    fclose(file);
}

// Each kind of PNG becomes the raw picture it holds, exactly (v*257 at 8 bits, grey to all three colours,
// palettes looked up, tRNS as alpha, opaque otherwise, data past the picture never read), and comes back
// unchanged through the tool's own PNG.
TEST(rgbatool, PngKindsConvertExactlyBothWays)
{
    TempDir dir;
    for (const kind& k : {kind{2, 8, 0, false}, {6, 16, 0, false}, {4, 8, 0, false}, {3, 8, 0, false},
                          {6, 8, PNG_INTERLACE_ADAM7, false}, {2, 8, 0, true}}) {
        SCOPED_TRACE(testing::Message() << "type " << k.type << ", " << k.depth << " bits, " << k.interlace << k.tail);
        write_png(dir.path + "/in.png", k);
        const uint32_t indexed = k.type == 3, ch = channels_of[k.type], g = ch > 2 || indexed;
        auto s = [&](size_t j) { return sample(k, j) * 65535 / ((1u << k.depth) - 1); };
        std::string want;
        for (size_t i = 0; i < side * side; i++) {
            const size_t e = sample(k, i), at = indexed ? 3 * e : i * ch;  // where its colour samples are
            const uint32_t alpha = indexed ? (e < 100 ? s(768 + e) : 65535) : ch % 2 ? 65535 : s(at + ch - 1);
            for (uint32_t v : {s(at), s(at + g), s(at + 2 * g), alpha})
                want += {(char)v, (char)(v >> 8)};
        }
        ASSERT_EQ(run(dir, "button out.png again", "\"$0\" button in.png raw && \"$0\" png raw out.png && ").first, 0);
        EXPECT_TRUE(read_file(dir.path + "/raw") == want && read_file(dir.path + "/again") == want);
    }
}

// Bad input, bad outputs and writes that fail part-way exit 1 with a message naming the file and the trouble,
// and change no file (no new output, an old one kept byte for byte, no temporary file left, links and FIFOs as
// they were); nor does SIGTERM.
TEST(rgbatool, RefusalsChangeNoFile)
{
    TempDir dir;
    write_png(dir.path + "/in.png", {PNG_COLOR_TYPE_RGB, 8, 0, false});
    write_png(dir.path + "/tall.png", {PNG_COLOR_TYPE_GRAY, 8, 0, false}, 4 * side);
    ASSERT_EQ(run(dir, "button in.png noise.rgba",  // noise.rgba is over the size limit below as a PNG
                  "head -c 99999 in.png >half.png; echo text >text.png; ln in.png twin.png; mkfifo fifo; mkdir ro; "
                  "truncate -s 8388607 short.rgba; mkdir taken; echo old | tee out >ro/old; chmod 555 ro; ").first, 0);
    const auto before = snapshot(dir.path);
    for (const std::vector<std::string>& c : std::vector<std::vector<std::string>>{  // command, words of the message
             {"button tall.png new", "1024x4096", "must be 1024x1024"}, {"defaults ''", "folder name is empty"},
             {"background tall.png new", "tall.png: ", "must be 4096x4096"}, {"png fifo new", "fifo: not a regular"},
             {"button half.png out", "half.png: ", "truncated"}, {"button fifo out", "fifo: not a regular"},
             {"button text.png new", "text.png: not a PNG"}, {"png short.rgba new", "short.rgba: ", "8388607"},
             {"button missing.png out", "missing.png: ", "No such"}, {"button in.png ''", "file name is empty"},
             {"button in.png ro/old", "ro/old: ", "Permission denied"}, {"png noise.rgba fifo", "fifo: cannot replace"},
             {"button in.png taken", "taken: ", "Is a directory"}, {"button in.png in.png", "in.png: is the input"},
             {"button in.png twin.png", "twin.png: is the input"}, {"button in.png out", "out: ", "File too large"},
             {"png noise.rgba new", "new: ", "File too large"}}) {
        const auto [status, err] = run(dir, c[0], "trap '' XFSZ; ulimit -f 2048; ");  // 1 MiB at most: a full disk
        EXPECT_EQ(status, 1) << c[0];
        for (auto word = c.begin() + 1; word != c.end(); word++)
            EXPECT_NE(err.find(*word), std::string::npos) << "'" << *word << "' not in: " << err;
        EXPECT_EQ(snapshot(dir.path), before) << c[0];
    }
    Child child({"/bin/sh", "-c", "chmod 755 ro; truncate -s 128M zero.rgba; old=$(ls -A); \"$0\" png zero.rgba new & "
                 "until [ \"$(ls -A)\" != \"$old\" ]; do sleep 0.01; done; kill -TERM $!; wait $!", RGBATOOL_BINARY},
                {"LD_PRELOAD="}, dir.path);  // zero.rgba: a black background, sparse; ro: removable again
    EXPECT_EQ(child.wait(120), 128 + SIGTERM) << "not ended by SIGTERM while writing";
    fs::remove(dir.path + "/zero.rgba");
    EXPECT_EQ(snapshot(dir.path), before);
}

// An output is written where its symbolic links lead, and the links stay; an existing file keeps its mode, a
// new one gets 0666 less the umask; any valid name works, however long.
TEST(rgbatool, OutputsKeepLinksAndModes)
{
    TempDir dir;
    write_png(dir.path + "/in.png", {PNG_COLOR_TYPE_RGB, 8, 0, false});
    ASSERT_EQ(run(dir, "button in.png want.rgba", "mkdir sub; ").first, 0);
    const std::string longest(255, 'n'), want = read_file(dir.path + "/want.rgba");
    for (const auto& [before, out, file, mode] : std::vector<std::tuple<std::string, std::string, std::string, int>>{
             {"", longest, longest, 0640}, {"echo >mine; chmod 600 mine; ", "mine", "mine", 0600},
             {"echo >ro; chmod 444 ro; ", "ro", "ro", 0444}, {"ln -s new sub/to-new; ", "sub/to-new", "sub/new", 0640},
             {"echo >sub/old; chmod 604 sub/old; ln -s old sub/link; ", "sub/link", "sub/old", 0604}}) {  // relative
        ASSERT_EQ(run(dir, "button in.png " + out, "umask 027; " + before).first, 0) << out;
        EXPECT_TRUE(read_file(dir.path + "/" + file) == want) << out;  // not so if a link was replaced
        EXPECT_EQ(fs::status(dir.path + "/" + file).permissions(), (fs::perms)mode) << out;
    }
    EXPECT_EQ(snapshot(dir.path).size(), 10u) << "a file besides the outputs and links";
}

// The default set: seven files, the blank face all gold (transparent), each label on its own face. Labels share
// a font size and a baseline, so ink widths follow the names' letter counts (narrow letters count half), and
// only "Quit" reaches lower (Q's tail).
TEST(rgbatool, DefaultSetCarriesItsLabels)
{
    TempDir dir;
    ASSERT_EQ(run(dir, "defaults .").first, 0);
    EXPECT_EQ(snapshot(dir.path).size(), 7u);
    for (const auto& e : fs::directory_iterator(dir.path))
        EXPECT_EQ(e.file_size(), e.path().filename() == "output_spinrgb.rgba" ? 16 * button_bytes : button_bytes);
    std::map<std::string, std::vector<int>> inks;  // label: ink width, lowest ink row, letters times 2
    for (std::string label : {"Blank", "Start", "Coord", "Observe", "Edit", "Quit"}) {
        const std::string raw = read_file(dir.path + "/output_" + (char)tolower(label[0]) + label.substr(1) + ".rgba");
        int x0 = side, x1 = -1, y1 = -1, letters = 0;
        for (size_t i = 0; i < raw.size() / 8; i++)
            if ((uint8_t)raw[i * 8 + 7] >= 128)  // alpha at least one half
                x0 = std::min(x0, (int)(i % side)), x1 = std::max(x1, (int)(i % side)), y1 = (int)(i / side);
        for (char c : label)
            letters += std::string("fijlrt").find(c) == std::string::npos ? 2 : 1;
        EXPECT_EQ(x1 - x0 > (int)side / 4, label != "Blank") << label << " ink " << x0 << ".." << x1;
        if (label != "Blank")
            inks[label] = {x1 - x0, y1, letters};
    }
    for (const auto& [a, ink] : inks)
        for (const auto& [b, other] : inks)  // more letters, wider ink; Quit lowest
            EXPECT_TRUE((ink[2] <= other[2] || ink[0] > other[0]) && (a != "Quit" || b == "Quit" || ink[1] > other[1]))
                << a << " against " << b;
}
