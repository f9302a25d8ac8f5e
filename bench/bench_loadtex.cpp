// One loadtex of a 4096x4096 picture against a floor: reading the same file
// once into a buffer already in memory and handing it to glTexImage2D and
// glGenerateMipmap, the two run in turn. Also the peak resident memory that
// the first load in a fresh process adds.
#include <cstdio>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include "support.h"
#include "timing.h"
#include "upload_floor.h"

namespace {

constexpr long side = 4096;
constexpr long bytes = side * side * 8;

// Written a row at a time, so that the process's peak memory is still low when the load begins.
bool write_picture(const std::string& path)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (!file)
        return false;
    std::vector<unsigned char> row((size_t)side * 8);
    bool ok = true;
    for (long y = 0; y < side; y++) {
        for (size_t i = 0; i < row.size(); i++)
            row[i] = (unsigned char)((size_t)y * 7 + i * 7 / 3);
        ok = ok && fwrite(row.data(), 1, row.size(), file) == row.size();
    }
    return fclose(file) == 0 && ok;
}

}  // namespace

int main()
{
    if (!test_window()) {
        fprintf(stderr, "bench_loadtex: needs an X display with GL 4.5 (try scripts/with-xvfb.sh)\n");
        return 1;
    }
    TempDir dir;
    const std::string path = dir.path + "/output_spinrgb.rgba";
    if (!write_picture(path)) {
        fprintf(stderr, "bench_loadtex: cannot write %s\n", path.c_str());
        return 1;
    }

    long peak_added = 0;
    std::pair<double, double> load_floor;
    const captured lines = capture([&] {  // swallows loadtex's progress lines
        const long rss_before = status_kib("VmHWM");
        unsigned int first = loadtex(path.c_str(), side, side);
        peak_added = status_kib("VmHWM") - rss_before;
        glDeleteTextures(1, &first);

        std::vector<unsigned short> buffer((size_t)bytes / 2);
        load_floor = alternate_medians(1, 7,
            [&] {
                unsigned int name = loadtex(path.c_str(), side, side);
                glFinish();
                glDeleteTextures(1, &name);
            },
            [&] {
                unsigned int name = read_and_upload(path, side, buffer);
                glFinish();
                glDeleteTextures(1, &name);
            });
    });
    if (lines.out.find("Completed mipmap.") == std::string::npos) {
        fprintf(stderr, "bench_loadtex: the picture did not load:\n%s%s", lines.out.c_str(), lines.err.c_str());
        return 1;
    }
    report("loadtex 4096x4096", load_floor.first, "read + glTexImage2D + glGenerateMipmap", load_floor.second);
    printf("peak resident memory added by the first load: %.0f MiB (the file is %ld MiB; the GL keeps "
           "%ld MiB with the mipmaps)\n", (double)peak_added / 1024.0, bytes >> 20, bytes * 4 / 3 >> 20);
    return 0;
}
