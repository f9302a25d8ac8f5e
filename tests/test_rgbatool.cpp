// rgbatool: PNG kinds, the defaults, refusals, and what outputs keep.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "pictures.h"
#include "support.h"

#ifdef __SANITIZE_ADDRESS__  // needs more address space
const std::string tight;
#else
const std::string tight = "ulimit -v 120000;";
#endif
const std::string noise = "convert -size 1024x1024 xc: -alpha set -channel RGBA +noise Random ";

// "errors|output:status" of a script in d, rgbatool on the PATH.
std::string run(const TempDir& d, const std::string& script)
{
    Child c = shell("PATH=$(dirname " RGBATOOL_BINARY "):$PATH;" + script + "\necho :$?", d.path);
    c.wait();
    return c.err() + "|" + c.out();
}

// Names, modes, links, contents but z's.
std::string snap(const TempDir& d)
{
    return run(d, "find . ! -name z -printf '%p %m %l\\n' -type f -exec md5sum {} +|sort");
}

// Whether a raw picture has n pixels of alpha a.
bool alpha(const std::string& raw, size_t n, char a)
{
    size_t i = 6;
    while (i < raw.size() && raw[i] == a && raw[i + 1] == a)
        i += 8;
    return i == n * 8 + 6;
}

// Each kind, 32 GiB past its end (unread), becomes what ImageMagick reads, and comes back.
TEST(rgbatool, PngKinds)
{
    TempDir d;
    for (std::string k : {"PNG24:", "PNG64:", "-threshold 50% PNG8:",
                          "-colorspace Gray -alpha off PNG:", "-interlace PNG PNG32:"})
        EXPECT_EQ(
            run(d, noise + k +
                       "i&&convert i -depth 16 -endian LSB rgba:w&&truncate -s-12 i&&truncate "
                       "-s+32G i&&rgbatool button i r&&rgbatool png r o&&rgbatool button o "
                       "a&&cmp r w&&cmp a w"),
            "|:0\n")
            << k;
}

// Refusals say why (or the usage) and change nothing, nor does SIGTERM; outputs keep links.
TEST(rgbatool, RefusalsAndOutputs)
{
    TempDir d;
    run(d, noise +
               "PNG:i;rgbatool button i w;convert -size 1024x4096 xc: PNG:t;head -c 99999 i>h;"
               "echo>x;ln i l;mkfifo f;mkdir r;cat w x>L;truncate -s128M z;touch r/o o p;"
               "chmod 444 p;chmod 555 r");
    auto before = snap(d);
    for (std::string row : {"button t n|t: *4096*1024x1024",
                            "background t n|t: *4096x4096",
                            "png f n|f: not a*",
                            "button h n|h: *truncated*",
                            "button x n|x: not a PNG*",
                            "png x n|x: 1 bytes*",
                            "png L n|L: 8388609 *",
                            "button m n|m: *No such*",
                            "button i ''|*empty",
                            "defaults ''|*empty",
                            "button i r/o|r/o: *folder r: *denied",
                            "button i p|p: *denied",
                            "button i f|f: *replace*",
                            "button i r|r: *Is a directory",
                            "button i l|l: *input*",
                            "button i o|o: *too large",
                            "png w n|n: *too large",
                            "|",
                            "defaults a b|",
                            "button a b c|",
                            "help a|",
                            tight.empty() ? "|" : "defaults|out of memory"}) {
        auto want = row.substr(row.find('|') + 1);
        EXPECT_TRUE(matches(want.empty() ? "usage: *|:2\n" : "rgbatool: " + want + "\n|:1\n",
                            run(d, "trap '' XFSZ;ulimit -f 2048;" + tight + "rgbatool " +
                                       row.substr(0, row.find('|')))) &&
                    snap(d) == before)
            << row;
    }
    EXPECT_EQ(run(d,
                  "rgbatool png z n&until [ -e .rgbatool* ];do sleep .01;done;kill $!;wait "
                  "$!"),
              "|:143\n");
    EXPECT_EQ(snap(d), before);
    EXPECT_TRUE(matches("|666 1 2\n640 0 0\n../o\nusage: *:0\n",
                        run(d,
                            "umask 027;mkdir s;ln -s ../o s/l;chmod 666 o;chown 1:2 o;n=$(printf "
                            "%0255d 0);rgbatool button i s/l;rgbatool button i $n;cmp o w&&cmp $n "
                            "w&&stat -c '%a %u %g' o $n;readlink s/l;rgbatool help")));
}

// defaults keeps what is there (output_s*), says so, adds labels as drawn here, a clear blank
// and an opaque background.
TEST(rgbatool, Defaults)
{
    TempDir d;
    auto r = run(d, "echo mine>output_start.rgba;ln -s gone output_spinrgb.rgba;(" + tight +
                        "rgbatool defaults);cat output_st*;readlink *;rm output_s*;rgbatool "
                        "defaults>/dev/null");
    EXPECT_TRUE(matches("|*\nmine\ngone\n:0\n", r)) << r;
    std::vector<rawimage> p;
    std::string e;
    ASSERT_TRUE(draw_labels({"Start", "Coord", "Observe", "Edit", "Quit"}, {1, 1, 1, 1, 1}, p, e));
    pictures_release();
    int i = 0;
    for (std::string b : {"start", "coord", "observe", "edit", "quit", "blank", "spinrgb"}) {
        auto f = "output_" + b + ".rgba", a = read_file(d.path + "/" + f);
        EXPECT_TRUE(matches((b[0] == 's' ? "*kept ./" : "*added ./") + f + "\n*", r) &&
                    (i < 5 ? a == std::string(p[i].bytes.begin(), p[i].bytes.end())
                           : alpha(a, i < 6 ? 1 << 20 : 1 << 24, i < 6 ? 0 : -1)))
            << f;
        i++;
    }
}
