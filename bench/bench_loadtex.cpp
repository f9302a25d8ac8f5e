// One loadtex of a 4096x4096 picture against a floor: reading the same file
// once and handing it to glTexImage2D and glGenerateMipmap. Also the peak
// resident memory that the load adds, against the loader's budget of the file
// mapping and two buffers of the picture's size.
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "capture.h"
#include "glcontext.h"
#include "timing.h"
#include "upload_floor.h"

namespace {

constexpr long side = 4096;
constexpr long bytes = side * side * 8;

bool write_picture(const std::string& path)
{
    std::vector<unsigned char> data((size_t)bytes);
    for (size_t i = 0; i < data.size(); i++)
        data[i] = (unsigned char)(i * 7 / 3);
    FILE* file = fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool ok = fwrite(data.data(), 1, data.size(), file) == data.size();
    return fclose(file) == 0 && ok;
}

}  // namespace

int main()
{
    if (!test_window()) {
        fprintf(stderr, "bench_loadtex: needs an X display with GL 4.5 (try scripts/with-xvfb.sh)\n");
        return 1;
    }
    char dir[] = "/tmp/tarnwick-bench-XXXXXX";
    if (!mkdtemp(dir))
        return 1;
    const std::string path = std::string(dir) + "/output_spinrgb.rgba";
    if (!write_picture(path)) {
        fprintf(stderr, "bench_loadtex: cannot write %s\n", path.c_str());
        return 1;
    }

    OutputCapture quiet;  // swallows loadtex's progress lines
    // The first load, in a fresh process, shows the peak memory of one load.
    const long rss_before = status_kib("VmHWM");
    unsigned int first = loadtex(path.c_str(), side, side);
    const long peak_added = status_kib("VmHWM") - rss_before;
    glDeleteTextures(1, &first);

    const double load = median_seconds(1, 5, [&] {
        unsigned int name = loadtex(path.c_str(), side, side);
        glDeleteTextures(1, &name);
        glFinish();
    });
    std::vector<unsigned short> buffer((size_t)bytes / 2);
    const double floor = median_seconds(1, 5, [&] {
        unsigned int name = read_and_upload(path, side, buffer);
        glDeleteTextures(1, &name);
        glFinish();
    });
    quiet.finish();
    printf("loadtex 4096x4096: %.1f ms, floor (read + glTexImage2D + glGenerateMipmap) %.1f ms, ratio %.2f\n",
            load * 1e3, floor * 1e3, load / floor);
    printf("peak resident memory added by one load: %.0f MiB (budget: mapping + two buffers = %ld MiB, plus the GL's own copy)\n",
            (double)peak_added / 1024.0, 3 * bytes / (1 << 20));
    unlink(path.c_str());
    rmdir(dir);
    return 0;
}
