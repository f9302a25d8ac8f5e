// The default pictures. Labels are drawn with cairo in DejaVu Sans Bold found
// through fontconfig; the background is computed pixel by pixel.
#include "pictures.h"

#include <algorithm>
#include <array>
#include <cairo-ft.h>
#include <cairo.h>
#include <cmath>
#include <fontconfig/fontconfig.h>
#include <new>

namespace {

constexpr const char* font_name = "DejaVu Sans";

// A face is three times wider than tall while its picture is square, so labels
// are laid out on a 3072x1024 canvas and squeezed into 1024x1024.
constexpr double squeeze = 3.0;
constexpr double canvas_width = button_side * squeeze;
constexpr double label_width = 0.86 * canvas_width;  // widest label's ink
constexpr double label_cap_height = 0.5 * button_side;
constexpr double rim_width = 0.07;  // of the font size; half of it lies outside the glyphs

// Dark brown letters with a pale rim read well on the lit gold.
constexpr std::array<double, 3> ink = {0.17, 0.09, 0.03};
constexpr std::array<double, 3> rim = {1.00, 0.94, 0.76};

struct labelfont {
    cairo_font_face_t* face = nullptr;
    labelfont() = default;
    labelfont(const labelfont&) = delete;
    labelfont& operator=(const labelfont&) = delete;
    ~labelfont() { cairo_font_face_destroy(face); }
};

// Unhinted outlines scale exactly, so every label keeps its shape at any size.
bool font_open(labelfont& font, std::string& err)
{
    FcPattern* query = FcNameParse((const FcChar8*)"DejaVu Sans:bold");
    FcPatternAddBool(query, FC_HINTING, FcFalse);
    FcConfigSubstitute(nullptr, query, FcMatchPattern);
    FcDefaultSubstitute(query);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, query, &result);
    FcPatternDestroy(query);
    FcChar8* family = nullptr;
    if (!match || FcPatternGetString(match, FC_FAMILY, 0, &family) != FcResultMatch ||
        std::string((const char*)family) != font_name) {
        err = std::string("font ") + font_name + " Bold not found (Debian package fonts-dejavu-core)";
        if (match)
            FcPatternDestroy(match);
        return false;
    }
    font.face = cairo_ft_font_face_create_for_pattern(match);
    FcPatternDestroy(match);
    if (cairo_font_face_status(font.face) != CAIRO_STATUS_SUCCESS) {
        err = std::string("cannot load font ") + font_name + " Bold";
        return false;
    }
    return true;
}

void use_font(cairo_t* cr, const labelfont& font, double size)
{
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
    cairo_set_font_face(cr, font.face);
    cairo_set_font_size(cr, size);
}

cairo_text_extents_t ink_extents(cairo_t* cr, const std::string& text)
{
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    return extents;
}

// One size for all labels: the widest fills the face's width, unless that
// would make the capitals taller than half the face.
double font_size(const labelfont& font, const std::vector<std::string>& labels)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
    cairo_t* cr = cairo_create(surface);
    const double probe = 100;
    use_font(cr, font, probe);
    double widest = 1;
    for (const std::string& label : labels)
        widest = std::max(widest, ink_extents(cr, label).width);
    const double cap = ink_extents(cr, "H").height;
    const bool measured = cairo_status(cr) == CAIRO_STATUS_SUCCESS;  // as in label_mask
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    if (!measured)
        throw std::bad_alloc();
    const double outside = probe * rim_width;  // the rim adds half its width on each side
    return probe * std::min(label_width / (widest + outside), label_cap_height / cap);
}

// Coverage (0 to 255) of the label's letters, or of the letters with their rim.
std::vector<unsigned char> label_mask(const labelfont& font, double size, const std::string& text,
                                      bool with_rim)
{
    std::vector<unsigned char> mask((size_t)button_side * button_side);
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_A8, (int)button_side, (int)button_side);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, 1 / squeeze, 1);
    use_font(cr, font, size);
    // Centred across on the ink, and on the capitals' height so that all labels share a baseline.
    const cairo_text_extents_t text_ink = ink_extents(cr, text);
    const double cap = ink_extents(cr, "H").height;
    cairo_move_to(cr, (canvas_width - text_ink.width) / 2 - text_ink.x_bearing,
                  (button_side + cap) / 2);
    cairo_text_path(cr, text.c_str());
    cairo_set_source_rgba(cr, 0, 0, 0, 1);
    if (with_rim) {
        cairo_set_line_width(cr, size * rim_width);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        cairo_stroke_preserve(cr);
    }
    cairo_fill(cr);
    cairo_surface_flush(surface);
    // cairo fails here only for want of memory, and then draws nothing at all.
    const bool drawn = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (long y = 0; drawn && y < button_side; y++)
        for (long x = 0; x < button_side; x++)
            mask[(size_t)(y * button_side + x)] = data[y * stride + x];
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    if (!drawn)
        throw std::bad_alloc();
    return mask;
}

uint16_t channel(double v)
{
    return (uint16_t)(std::clamp(v, 0.0, 1.0) * 65535 + 0.5);
}

// Alpha is the coverage of letters and rim; the colour fades from rim to ink
// across the letters' edge. Transparent texels carry the rim colour too, so
// that filtering at the outer edge never darkens or lightens the rim.
void draw_label(const labelfont& font, double size, const std::string& text, rawimage& picture)
{
    const std::vector<unsigned char> outer = label_mask(font, size, text, true);
    const std::vector<unsigned char> inner = label_mask(font, size, text, false);
    rawimage_init(picture, button_side, button_side);
    for (long y = 0; y < button_side; y++)
        for (long x = 0; x < button_side; x++) {
            const size_t i = (size_t)(y * button_side + x);
            const double f = inner[i] / 255.0;
            rawimage_put(picture, x, y,
                         {channel(rim[0] + (ink[0] - rim[0]) * f),
                          channel(rim[1] + (ink[1] - rim[1]) * f),
                          channel(rim[2] + (ink[2] - rim[2]) * f), (uint16_t)(outer[i] * 257)});
        }
}

}  // namespace

bool draw_labels(const std::vector<std::string>& labels, const std::vector<bool>& wanted,
                 std::vector<rawimage>& pictures, std::string& err)
{
    labelfont font;
    if (!font_open(font, err))
        return false;
    const double size = font_size(font, labels);
    pictures.resize(labels.size());
    for (size_t i = 0; i < labels.size(); i++)
        if (wanted[i])
            draw_label(font, size, labels[i], pictures[i]);
    return true;
}

void draw_blank(rawimage& picture)
{
    rawimage_init(picture, button_side, button_side);
}

namespace {

constexpr double tau = 6.283185307179586;
constexpr int spiral_arms = 3;
constexpr double hue_turns_per_side = 1.6;  // hue cycles from the centre to an edge
constexpr int palette_size = 1 << 14;

// A smooth hue circle: three cosines a third of a turn apart, no corners as in HSV.
std::vector<std::array<double, 3>> hue_palette()
{
    std::vector<std::array<double, 3>> palette(palette_size);
    for (int i = 0; i < palette_size; i++) {
        const double h = tau * i / palette_size;
        for (int c = 0; c < 3; c++)
            palette[(size_t)i][(size_t)c] = 0.5 + 0.5 * std::cos(h - tau * c / 3);
    }
    return palette;
}

}  // namespace

void draw_spiral(rawimage& picture, long side)
{
    rawimage_init(picture, side, side);
    const std::vector<std::array<double, 3>> palette = hue_palette();
    const double half = (double)side / 2;
    const double pitch = half / hue_turns_per_side;
    for (long y = 0; y < side; y++)
        for (long x = 0; x < side; x++) {
            const double dx = (double)x + 0.5 - half;
            const double dy = half - ((double)y + 0.5);
            const double r = std::sqrt(dx * dx + dy * dy);
            double hue = spiral_arms * std::atan2(dy, dx) / tau + r / pitch;
            hue -= std::floor(hue);
            const auto& colour = palette[(size_t)(hue * palette_size) % palette_size];
            // White at the centre hides where all hues meet; a little white everywhere
            // softens the colours, and the corners darken.
            const double white = 0.12 + 0.88 / (1 + (r / 150) * (r / 150));
            const double shade = 1 - 0.2 * (r / half) * (r / half);
            rgba16 pixel;
            pixel.r = channel((colour[0] + (1 - colour[0]) * white) * shade);
            pixel.g = channel((colour[1] + (1 - colour[1]) * white) * shade);
            pixel.b = channel((colour[2] + (1 - colour[2]) * white) * shade);
            pixel.a = 65535;
            rawimage_put(picture, x, y, pixel);
        }
}

void pictures_release()
{
    cairo_debug_reset_static_data();
    FcFini();
}
