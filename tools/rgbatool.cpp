// rgbatool: makes the menu's default pictures and converts PNG files to and
// from the raw RGBA16 files that the menu reads.
#include "outfile.h"
#include "pictures.h"
#include "pngio.h"
#include "rawimage.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

const char* const usage_text =
    "usage: rgbatool defaults [DIR]            add the default pictures DIR lacks (default .)\n"
    "       rgbatool button IN.png OUT.rgba      convert a 1024x1024 PNG into a button picture\n"
    "       rgbatool background IN.png OUT.rgba  convert a 4096x4096 PNG into the background\n"
    "       rgbatool png IN.rgba OUT.png         convert a raw picture into a 16-bit PNG\n"
    "       rgbatool --version                   print the version\n";

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
constexpr const char* blank_file = "output_blank.rgba";
constexpr const char* background_file = "output_spinrgb.rgba";

// What a defaults run has changed so far, each as said on standard output
// ("made folder DIR", "added FILE"): a run that fails half-way says it again
// after its reason, since what it added stays.
using changes = std::vector<std::string>;

void report_change(changes& done, const std::string& what)
{
    printf("rgbatool: %s\n", what.c_str());
    done.push_back(what);
}

bool is_folder(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Makes `dir` and each parent it lacks, as mkdir -p does. Parents made before
// a later folder fails stay, as with mkdir -p, and the deepest is named among
// the changes.
bool make_folder(const std::string& dir, changes& done, std::string& err)
{
    if (is_folder(dir))
        return true;
    std::string made;
    for (size_t end = dir.find('/', 1);; end = dir.find('/', end + 1)) {
        const std::string part = dir.substr(0, end);
        const int failure = mkdir(part.c_str(), 0777) == 0 ? 0 : errno;
        if (failure == 0) {
            made = part;
        } else if (failure != EEXIST || !is_folder(part)) {
            err = part + ": cannot make folder: " + strerror(failure);
            if (!made.empty())
                done.push_back("made folder " + made);
            return false;
        }
        if (end == std::string::npos)
            break;
    }
    report_change(done, "made folder " + dir);
    return true;
}

// True when nothing at all goes by the name, not even a dangling link. Whatever
// does is the user's own picture, or a link to it: it is kept, and this says so.
bool must_add(const std::string& path)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return true;
    printf("rgbatool: kept %s\n", path.c_str());
    return false;
}

bool add_picture(const std::string& path, const rawimage& picture, changes& done, std::string& err)
{
    if (!rawimage_write(path, picture, out_add, err))
        return false;
    report_change(done, "added " + path);
    return true;
}

// Its name is claimed before the drawing's seconds are spent, so that a folder
// it cannot go into is refused at once.
bool add_background(const std::string& path, changes& done, std::string& err)
{
    outfile out;
    if (!outfile_open(out, path, out_add, err))
        return false;
    rawimage picture;
    draw_spiral(picture, background_side);
    if (!outfile_finish(out, picture.bytes.data(), picture.bytes.size(), err))
        return false;
    report_change(done, "added " + path);
    return true;
}

bool add_labels(const std::string& prefix, const std::vector<bool>& wanted, changes& done,
                std::string& err)
{
    if (std::find(wanted.begin(), wanted.end(), true) == wanted.end())
        return true;  // without looking for the font, which a kept set does not need
    std::vector<std::string> labels;
    for (const labelled& b : buttons)
        labels.push_back(b.label);
    std::vector<rawimage> pictures;
    bool ok = draw_labels(labels, wanted, pictures, err);
    pictures_release();
    for (size_t i = 0; ok && i < pictures.size(); i++)
        ok = !wanted[i] || add_picture(prefix + buttons[i].file, pictures[i], done, err);
    return ok;
}

// What is kept is said before anything is drawn. The background comes first:
// should memory run short, it runs short there, before anything is added.
bool write_defaults(const std::string& dir, changes& done, std::string& err)
{
    if (dir.empty()) {
        err = "the folder name is empty";
        return false;
    }
    if (!make_folder(dir, done, err))
        return false;
    const std::string prefix = dir.back() == '/' ? dir : dir + "/";
    const bool add_spiral = must_add(prefix + background_file);
    const bool add_blank = must_add(prefix + blank_file);
    std::vector<bool> wanted;
    for (const labelled& b : buttons)
        wanted.push_back(must_add(prefix + b.file));
    if (add_spiral && !add_background(prefix + background_file, done, err))
        return false;
    if (add_blank) {
        rawimage blank;
        draw_blank(blank);
        if (!add_picture(prefix + blank_file, blank, done, err))
            return false;
    }
    return add_labels(prefix, wanted, done, err);
}

bool png_to_raw(const std::string& in, const std::string& out, long side, const char* what,
                std::string& err)
{
    rawimage picture;
    return distinct_files(in, out, err) && png_read_raw(in, side, what, picture, err) &&
           rawimage_write(out, picture, out_replace, err);
}

bool raw_to_png(const std::string& in, const std::string& out, std::string& err)
{
    rawimage picture;
    return distinct_files(in, out, err) && rawimage_read(in, picture, err) &&
           png_write_raw(out, picture, err);
}

// Says why the run failed, then what a defaults run had changed before: that stays.
int fail(const char* reason, const changes& done)
{
    fprintf(stderr, "rgbatool: %s\n", reason);
    for (const std::string& change : done)
        fprintf(stderr, "rgbatool: before failing, %s\n", change.c_str());
    return 1;
}

int run(const std::vector<std::string>& args, changes& done)
{
    const std::string command = args.empty() ? "" : args[0];
    std::string err;
    bool ok = false;
    if (command == "defaults" && args.size() <= 2)
        ok = write_defaults(args.size() == 2 ? args[1] : ".", done, err);
    else if (command == "button" && args.size() == 3)
        ok = png_to_raw(args[1], args[2], button_side, "a button picture", err);
    else if (command == "background" && args.size() == 3)
        ok = png_to_raw(args[1], args[2], background_side, "the background", err);
    else if (command == "png" && args.size() == 3)
        ok = raw_to_png(args[1], args[2], err);
    else if ((command == "help" || command == "-h" || command == "--help") && args.size() == 1) {
        fputs(usage_text, stdout);
        return 0;
    } else if (command == "--version" && args.size() == 1) {
        puts("rgbatool " TARNWICK_VERSION);
        return 0;
    } else {
        fputs(usage_text, stderr);
        return 2;
    }
    return ok ? 0 : fail(err.c_str(), done);
}

}  // namespace

// Memory that runs out anywhere ends the run here; the way out removes any
// temporary file.
int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IOLBF, 0);  // each line as its picture is done, also into a pipe
    changes done;
    done.reserve(8);  // a folder and seven pictures, so that the list itself never grows
    try {
        return run(std::vector<std::string>(argv + 1, argv + argc), done);
    } catch (const std::bad_alloc&) {
        return fail("out of memory", done);
    }
}
