// Raw RGBA16 pictures: pixel access with an explicit byte order, and whole-file I/O.
#include "rawimage.h"

#include "outfile.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Bytes are placed one by one so that the file is little-endian on any host.
void put16(unsigned char* p, uint16_t v)
{
    p[0] = (unsigned char)(v & 0xff);
    p[1] = (unsigned char)(v >> 8);
}

uint16_t get16(const unsigned char* p)
{
    return (uint16_t)(p[0] | p[1] << 8);
}

size_t offset(const rawimage& img, long x, long y)
{
    return ((size_t)y * (size_t)img.width + (size_t)x) * 8;
}

long side_for_length(off_t length)
{
    for (long side : {button_side, background_side})
        if (length == (off_t)side * side * 8)
            return side;
    return 0;
}

bool read_fully(int fd, unsigned char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = read(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;  // the file shrank while we read it
            return false;
        }
        data += n;
        size -= (size_t)n;
    }
    return true;
}

}  // namespace

void rawimage_init(rawimage& img, long width, long height)
{
    img.width = width;
    img.height = height;
    img.bytes.assign((size_t)width * (size_t)height * 8, 0);
}

void rawimage_put(rawimage& img, long x, long y, rgba16 pixel)
{
    unsigned char* p = img.bytes.data() + offset(img, x, y);
    put16(p + 0, pixel.r);
    put16(p + 2, pixel.g);
    put16(p + 4, pixel.b);
    put16(p + 6, pixel.a);
}

rgba16 rawimage_get(const rawimage& img, long x, long y)
{
    const unsigned char* p = img.bytes.data() + offset(img, x, y);
    return {get16(p + 0), get16(p + 2), get16(p + 4), get16(p + 6)};
}

bool rawimage_read(const std::string& path, rawimage& img, std::string& err)
{
    struct stat st;
    const int fd = open_input(path, st, err);
    if (fd < 0)
        return false;
    const long side = side_for_length(st.st_size);
    if (side == 0)
        err = path + ": " + std::to_string((long long)st.st_size) +
              " bytes is no raw picture size: a button picture has 8388608 bytes (1024x1024), "
              "the background 134217728 bytes (4096x4096)";
    bool ok = side != 0;
    if (ok) {
        rawimage_init(img, side, side);
        ok = read_fully(fd, img.bytes.data(), img.bytes.size());
        if (!ok)
            err = path + ": cannot read: " + strerror(errno);
    }
    close(fd);
    return ok;
}

bool rawimage_write(const std::string& path, const rawimage& img, out_mode mode, std::string& err)
{
    return write_whole_file(path, img.bytes.data(), img.bytes.size(), mode, err);
}
