// rgbatool: makes the menu's default pictures and converts PNG files to and
// from the raw RGBA16 files that the menu reads.
#include "outfile.h"
#include "pictures.h"
#include "pngio.h"
#include "rawimage.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char* const usage_text =
    "usage: rgbatool defaults [DIR]            write the default pictures into DIR (default .)\n"
    "       rgbatool button IN.png OUT.rgba      convert a 1024x1024 PNG into a button picture\n"
    "       rgbatool background IN.png OUT.rgba  convert a 4096x4096 PNG into the background\n"
    "       rgbatool png IN.rgba OUT.png         convert a raw picture into a 16-bit PNG\n";

struct labelled {
    const char* file;
    const char* label;
};

constexpr labelled buttons[] = {
    {"output_start.rgba",   "Start"},
    {"output_coord.rgba",   "Coord"},
    {"output_observe.rgba", "Observe"},
    {"output_edit.rgba",    "Edit"},
    {"output_quit.rgba",    "Quit"},
};

bool write_defaults(const std::string& dir, std::string& err)
{
    if (dir.empty()) {
        err = "the folder name is empty";
        return false;
    }
    const std::string prefix = dir.back() == '/' ? dir : dir + "/";
    std::vector<std::string> labels;
    for (const labelled& b : buttons)
        labels.push_back(b.label);
    std::vector<rawimage> pictures;
    bool ok = draw_labels(labels, pictures, err);
    pictures_release();
    for (size_t i = 0; ok && i < pictures.size(); i++)
        ok = rawimage_write(prefix + buttons[i].file, pictures[i], err);
    if (!ok)
        return false;

    rawimage picture;
    draw_blank(picture);
    if (!rawimage_write(prefix + "output_blank.rgba", picture, err))
        return false;
    draw_spiral(picture, background_side);
    return rawimage_write(prefix + "output_spinrgb.rgba", picture, err);
}

bool png_to_raw(const std::string& in, const std::string& out, long side, const char* what,
                std::string& err)
{
    rawimage picture;
    return distinct_files(in, out, err) && png_read_raw(in, side, what, picture, err) &&
           rawimage_write(out, picture, err);
}

bool raw_to_png(const std::string& in, const std::string& out, std::string& err)
{
    rawimage picture;
    return distinct_files(in, out, err) && rawimage_read(in, picture, err) &&
           png_write_raw(out, picture, err);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    const std::string command = args.empty() ? "" : args[0];
    std::string err;
    bool ok = false;
    if (command == "defaults" && args.size() <= 2)
        ok = write_defaults(args.size() == 2 ? args[1] : ".", err);
    else if (command == "button" && args.size() == 3)
        ok = png_to_raw(args[1], args[2], button_side, "a button picture", err);
    else if (command == "background" && args.size() == 3)
        ok = png_to_raw(args[1], args[2], background_side, "the background", err);
    else if (command == "png" && args.size() == 3)
        ok = raw_to_png(args[1], args[2], err);
    else if (command == "help" || command == "-h" || command == "--help") {
        fputs(usage_text, stdout);
        return 0;
    } else {
        fputs(usage_text, stderr);
        return 2;
    }
    if (!ok) {
        fprintf(stderr, "rgbatool: %s\n", err.c_str());
        return 1;
    }
    return 0;
}
