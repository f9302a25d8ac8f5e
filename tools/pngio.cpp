// PNG reading and writing through libpng. libpng reports errors by longjmp, so
// everything that must outlive an error lives in a struct owned by the caller
// of the function that calls setjmp, never in that function's own locals.
#include "pngio.h"

#include "outfile.h"

#include <cerrno>
#include <cstring>
#include <png.h>
#include <unistd.h>

namespace {

struct pngfile {
    png_structp png = nullptr;
    png_infop info = nullptr;
    FILE* file = nullptr;
    std::vector<png_bytep> rows;
    char message[256] = "";
};

struct pngreader : pngfile {
    ~pngreader()
    {
        png_destroy_read_struct(&png, &info, nullptr);
        if (file)
            fclose(file);
    }
};

struct pngwriter : pngfile {
    ~pngwriter() { png_destroy_write_struct(&png, &info); }
};

void on_error(png_structp png, png_const_charp text)
{
    auto* state = (pngfile*)png_get_error_ptr(png);
    snprintf(state->message, sizeof state->message, "%s", text);
    png_longjmp(png, 1);
}

// Warnings (odd colour profiles and the like) do not change the samples we copy.
void on_warning(png_structp, png_const_charp) {}

// Tells a truncated file apart from other read errors.
void on_read(png_structp png, png_bytep data, size_t size)
{
    FILE* file = ((pngfile*)png_get_io_ptr(png))->file;
    if (fread(data, 1, size, file) == size)
        return;
    if (feof(file))
        png_error(png, "the file ends too early (truncated)");
    char text[200];
    snprintf(text, sizeof text, "cannot read: %s", strerror(errno));
    png_error(png, text);
}

// Keeps the system's reason (a full disk, say) instead of libpng's plain "Write Error".
void on_write(png_structp png, png_bytep data, size_t size)
{
    FILE* file = ((pngfile*)png_get_io_ptr(png))->file;
    if (fwrite(data, 1, size, file) == size)
        return;
    char text[200];
    snprintf(text, sizeof text, "cannot write: %s", strerror(errno));
    png_error(png, text);
}

void on_flush(png_structp png)
{
    fflush(((pngfile*)png_get_io_ptr(png))->file);
}

void image_rows(pngfile& f, const rawimage& img)
{
    f.rows.resize((size_t)img.height);
    for (long y = 0; y < img.height; y++)
        f.rows[(size_t)y] = const_cast<png_bytep>(img.bytes.data()) + (size_t)y * img.width * 8;
}

// Asks libpng for RGBA with 16-bit little-endian samples, which is the raw layout itself.
void expand_to_rgba16(png_structp png, png_infop info)
{
    const int type = png_get_color_type(png, info);
    png_set_expand(png);
    png_set_expand_16(png);
    png_set_gray_to_rgb(png);
    if (!(type & PNG_COLOR_MASK_ALPHA) && !png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_add_alpha(png, 0xffff, PNG_FILLER_AFTER);
    png_set_swap(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
}

std::string size_text(unsigned long width, unsigned long height)
{
    return std::to_string(width) + "x" + std::to_string(height);
}

bool read_image(pngreader& r, long side, const char* what, rawimage& img, std::string& err)
{
    if (setjmp(png_jmpbuf(r.png))) {
        err = r.message;
        return false;
    }
    png_set_read_fn(r.png, &r, on_read);
    png_read_info(r.png, r.info);
    const png_uint_32 width = png_get_image_width(r.png, r.info);
    const png_uint_32 height = png_get_image_height(r.png, r.info);
    if (width != (png_uint_32)side || height != (png_uint_32)side) {
        err = "the picture is " + size_text(width, height) + ", but " + what + " must be " +
              size_text((unsigned long)side, (unsigned long)side);
        return false;
    }
    expand_to_rgba16(r.png, r.info);
    if (png_get_rowbytes(r.png, r.info) != (size_t)side * 8) {
        err = "unexpected sample layout after expansion";
        return false;
    }
    rawimage_init(img, side, side);
    image_rows(r, img);
    // Reading stops with the chunk that holds the last row: the end chunk, and
    // whatever a file may carry past the picture (gigabytes, perhaps), is never read.
    png_read_image(r.png, r.rows.data());
    return true;
}

bool write_image(pngwriter& w, const rawimage& img, std::string& err)
{
    if (setjmp(png_jmpbuf(w.png))) {
        err = w.message;
        return false;
    }
    png_set_write_fn(w.png, &w, on_write, on_flush);
    png_set_IHDR(w.png, w.info, (png_uint_32)img.width, (png_uint_32)img.height, 16,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    // Fast rather than small: these files are only for looking at, and the
    // background is 128 MiB of samples. Smooth pictures suit the "up" filter.
    png_set_compression_level(w.png, 1);
    png_set_filter(w.png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_write_info(w.png, w.info);
    png_set_swap(w.png);  // our samples are little-endian, PNG's are big-endian
    // libpng copies each row before transforming it, so the const data is never written.
    image_rows(w, img);
    png_write_image(w.png, w.rows.data());
    png_write_end(w.png, nullptr);
    return true;
}

}  // namespace

bool png_read_raw(const std::string& path, long side, const char* what, rawimage& img,
                  std::string& err)
{
    pngreader r;
    struct stat st;
    const int fd = open_input(path, st, err);
    if (fd < 0)
        return false;
    r.file = fdopen(fd, "rb");
    if (!r.file) {
        err = path + ": cannot read: " + strerror(errno);
        close(fd);
        return false;
    }
    unsigned char signature[8];
    const bool whole = fread(signature, 1, sizeof signature, r.file) == sizeof signature;
    if (ferror(r.file)) {
        err = path + ": cannot read: " + strerror(errno);
        return false;
    }
    if (!whole || png_sig_cmp(signature, 0, sizeof signature) != 0) {
        err = path + ": not a PNG file";
        return false;
    }
    r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &r, on_error, on_warning);
    r.info = r.png ? png_create_info_struct(r.png) : nullptr;
    if (!r.info) {
        err = path + ": out of memory";
        return false;
    }
    png_set_sig_bytes(r.png, sizeof signature);
    if (!read_image(r, side, what, img, err)) {
        err = path + ": " + err;
        return false;
    }
    return true;
}

bool png_write_raw(const std::string& path, const rawimage& img, std::string& err)
{
    outfile out;
    if (!outfile_open(out, path, out_replace, err))
        return false;
    pngwriter w;
    w.file = out.file;
    w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &w, on_error, on_warning);
    w.info = w.png ? png_create_info_struct(w.png) : nullptr;
    if (!w.info) {
        err = path + ": out of memory";
        return false;
    }
    if (!write_image(w, img, err)) {
        err = path + ": " + err;
        return false;
    }
    return outfile_commit(out, err);
}
