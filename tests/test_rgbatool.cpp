// The picture tool run as a program: conversions, refusals, outputs; the default set is used by test_menu.
#include <gtest/gtest.h>
#include "support.h"

#include <csignal>
#include <filesystem>
#include <map>

namespace fs = std::filesystem;
constexpr uint32_t side = 1024, button_bytes = side * side * 8;

// Runs "rgbatool <command>" in `dir` through sh, after the shell commands `before`.
std::pair<int, std::string> run(const TempDir& dir, const std::string& command, const std::string& before = "")
{
    Child child({"env", "-u", "LD_PRELOAD", "/bin/sh", "-c", before + "exec \"$0\" " + command, RGBATOOL_BINARY},
                dir.path);
    return {child.wait(120), child.err()};
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

// Makes dir/name, a PNG of random pixels, with ImageMagick; `kind` holds its
// options and output format.
void make_png(const TempDir& dir, const std::string& kind, const std::string& name = "in.png")
{
    ASSERT_TRUE(run_script("convert -size 1024x1024 xc: +noise Random -alpha set -channel A -fx 'rand()' +channel "
                           "-depth 8 " +
                           kind + dir.path + "/" + name));
}

// Each kind of PNG (8-bit colour, 16-bit colour and alpha, palette with tRNS, grey and alpha, 16-bit grey,
// interlaced) becomes, to the bit, the raw picture ImageMagick reads from it, also with gigabytes of data
// after the picture (never read), and comes back unchanged through the tool's own PNG.
TEST(rgbatool, PngKindsConvertExactlyBothWays)
{
    TempDir dir;
    const struct { std::string format; bool tail; } kinds[] = {
        {"PNG24:", false}, {"PNG64:", false}, {"-channel A -threshold 50% +channel -colors 100 PNG8:", false},
        {"-colorspace Gray PNG:", false}, {"-colorspace Gray -alpha off -depth 16 PNG:", false},
        {"-interlace PNG PNG32:", false}, {"PNG24:", true}};
    for (const auto& [format, tail] : kinds) {
        make_png(dir, format);
        const std::string png = dir.path + "/in.png";
        ASSERT_TRUE(run_script("convert " + png + " -depth 16 -endian LSB rgba:" + dir.path + "/want"));
        if (tail) {  // 32 GiB in 4 MiB chunks and no end: minutes to read, sparse on disk
            fs::resize_file(png, fs::file_size(png) - 12);
            FILE* file = fopen(png.c_str(), "r+b");
            fseek(file, 0, SEEK_END);
            for (int i = 0; i < 8192; i++) {  // ancillary chunks, skipped for their wrong CRC; the rest are holes
                fwrite("\0\100\0\0taIl", 8, 1, file);
                fseek(file, (1 << 22) + 4, SEEK_CUR);
            }
            fclose(file);
        }
        const std::string both_ways = "\"$0\" button in.png raw && \"$0\" png raw out.png && ";
        ASSERT_EQ(run(dir, "button out.png again", both_ways).first, 0) << format;
        const std::string want = read_file(dir.path + "/want");
        EXPECT_TRUE(want.size() == button_bytes && read_file(dir.path + "/raw") == want &&
                    read_file(dir.path + "/again") == want) << format << (tail ? " with a tail" : "");
    }
}

// Bad input, bad outputs and writes that fail part-way exit 1 with a message naming the file and the trouble,
// and change no file (no new output, an old one kept byte for byte, no temporary file left, links and FIFOs as
// they were); nor does SIGTERM.
TEST(rgbatool, RefusalsChangeNoFile)
{
    TempDir dir;
    make_png(dir, "PNG24:");
    ASSERT_TRUE(run_script("convert -size 1024x4096 xc:gray " + dir.path + "/tall.png"));
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
    Child child({"env", "-u", "LD_PRELOAD", "/bin/sh", "-c", "chmod 755 ro; truncate -s 128M zero.rgba; old=$(ls -A); "
                 "\"$0\" png zero.rgba new & until [ \"$(ls -A)\" != \"$old\" ]; do sleep 0.01; done; kill -TERM $!; "
                 "wait $!", RGBATOOL_BINARY}, dir.path);  // zero.rgba: a black background, sparse; ro: removable again
    EXPECT_EQ(child.wait(120), 128 + SIGTERM) << "not ended by SIGTERM while writing";
    fs::remove(dir.path + "/zero.rgba");
    EXPECT_EQ(snapshot(dir.path), before);
}

// An output is written where its symbolic links lead, and the links stay; an existing file keeps its mode, a
// new one gets 0666 less the umask; any valid name works, however long.
TEST(rgbatool, OutputsKeepLinksAndModes)
{
    TempDir dir;
    make_png(dir, "PNG24:");
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
