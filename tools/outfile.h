// Files in and out. Input is opened without ever waiting on a FIFO. An output
// file appears under its name only when completely written: it is written beside
// the target under a temporary name and renamed at the end.
#ifndef RGBATOOL_OUTFILE_H
#define RGBATOOL_OUTFILE_H

#include <cstdio>
#include <string>
#include <sys/stat.h>

// Opens a regular file for reading; -1 with a message in `err` for anything else
// (a FIFO, a device, a folder). `st` receives its status.
int open_input(const std::string& path, struct stat& st, std::string& err);

// False with a message when `out` names the same file as `in`, by any name or link.
bool distinct_files(const std::string& in, const std::string& out, std::string& err);

// What an output does to what already goes by its name.
enum out_mode {
    // A symbolic link is written through to the file it points to. An existing
    // file is replaced only when the user may write it, and keeps its mode, and
    // its owner and group where the user may give them. A file with other hard
    // links is replaced all the same, so its other names keep the old picture:
    // writing it in place instead would leave it half-written when the disk fills up.
    out_replace,
    // Only a name that is free, not even a dangling link, is written: whatever
    // is there is the user's own.
    out_add,
};

struct outfile {
    std::string path;    // as given, for messages
    std::string target;  // `path` with symbolic links followed
    std::string temp;    // where the bytes go until outfile_commit
    out_mode mode = out_replace;
    FILE* file = nullptr;

    outfile() = default;
    outfile(const outfile&) = delete;
    outfile& operator=(const outfile&) = delete;
    ~outfile();  // removes the temporary file unless committed
};

// Creates the temporary file for `path`; false with a message in `err`, also when
// `path` is empty or names something `mode` may not replace. One at a time: a
// signal that ends the program removes it.
bool outfile_open(outfile& out, const std::string& path, out_mode mode, std::string& err);
// Closes the temporary file and renames it onto the target.
bool outfile_commit(outfile& out, std::string& err);
// Closes and removes the temporary file; the target stays as it was.
void outfile_abandon(outfile& out);
// Writes `size` bytes into the temporary file, then commits it.
bool outfile_finish(outfile& out, const unsigned char* data, size_t size, std::string& err);

// Writes `size` bytes to `path` through a temporary file.
bool write_whole_file(const std::string& path, const unsigned char* data, size_t size,
                      out_mode mode, std::string& err);

#endif
