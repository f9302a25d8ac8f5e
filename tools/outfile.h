// An output file that appears under its name only when completely written:
// it is written beside the target under a temporary name and renamed at the end.
#ifndef RGBATOOL_OUTFILE_H
#define RGBATOOL_OUTFILE_H

#include <cstdio>
#include <string>

struct outfile {
    std::string path;  // the target
    std::string temp;  // where the bytes go until outfile_commit
    FILE* file = nullptr;

    outfile() = default;
    outfile(const outfile&) = delete;
    outfile& operator=(const outfile&) = delete;
    ~outfile();  // removes the temporary file unless committed
};

// Creates the temporary file for `path`; false with a message in `err`.
bool outfile_open(outfile& out, const std::string& path, std::string& err);
// Closes the temporary file and renames it onto the target.
bool outfile_commit(outfile& out, std::string& err);
// Closes and removes the temporary file; the target stays as it was.
void outfile_abandon(outfile& out);

// Writes `size` bytes to `path` through a temporary file.
bool write_whole_file(const std::string& path, const unsigned char* data, size_t size,
                      std::string& err);

#endif
