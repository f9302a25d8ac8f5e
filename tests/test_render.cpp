// The menu's GL work in-process: frames drawn offscreen at 1920x1080 and read
// back, and what it prints about broken shaders.
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <gtest/gtest.h>
#include <new>

#include "support.h"

namespace {

constexpr int width = 1920, height = 1080;
using rgb = std::array<int, 3>;
struct box { int left = width, right = -1, top = height, bottom = -1; };

slpack buttontex, regtriangle;
unsigned int button_tex[8], background_tex;
long hover[8];
float scratch[44];
std::vector<unsigned char> pixels(width * height * 4);

// Button i's test picture: red 10 + 20 i, below the lit gold's; green 200 in
// its top half, 60 below; blue 200 in its right half, 60 on the left.
rgb face_colour(int button, bool top, bool right)
{
    return {10 + 20 * button, top ? 200 : 60, right ? 200 : 60};
}

// A picture of side x side texels of one alpha.
unsigned int texture(int side, const std::function<rgb(int x, int row)>& colour, uint32_t alpha)
{
    std::vector<uint32_t> texels;  // RGBA as the bytes of each value
    for (int row = 0; row < side; row++) {  // GL's row 0 is the bottom of the picture
        for (int x = 0; x < side; x++) {
            const rgb c = colour(x, row);
            texels.push_back((uint32_t)c[0] | (uint32_t)c[1] << 8 | (uint32_t)c[2] << 16 | alpha << 24);
        }
    }
    unsigned int name = 0;
    glCreateTextures(GL_TEXTURE_2D, 1, &name);
    glTextureParameteri(name, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTextureParameteri(name, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTextureStorage2D(name, 1, GL_RGBA8, side, side);
    glTextureSubImage2D(name, 0, 0, 0, side, side, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    return name;
}

// The programs as main makes them, the test pictures (button 2's transparent)
// and an offscreen target; made once per process.
bool make_menu()
{
    EXPECT_EQ(capture([] { EXPECT_EQ(setup_programs(&buttontex, &regtriangle), 0); }).err, "");
    for (int i = 0; i < 8; i++)
        button_tex[i] = texture(2, [i](int x, int row) { return face_colour(i, row == 1, x == 1); }, i == 2 ? 0 : 255);
    // Red grows with u and green with v; no blue, unlike anything else drawn.
    background_tex = texture(256, [](int x, int row) { return rgb{x, row, 0}; }, 255);
    unsigned int target = 0, colour = 0;
    glCreateRenderbuffers(1, &colour);
    glNamedRenderbufferStorage(colour, GL_RGBA8, width, height);
    glCreateFramebuffers(1, &target);
    glNamedFramebufferRenderbuffer(target, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    glBindFramebuffer(GL_FRAMEBUFFER, target);
    glViewport(0, 0, width, height);
    return true;
}

// Draws a frame with the cursor at pixel (x, y) of the screen.
void draw(double t, double x, double y, double w = 0)
{
    [[maybe_unused]] static const bool made = make_menu();
    point_t cursor = {x / width - 0.5, 0.5 - y / height};
    render(test_window(), t, &cursor, hover, button_tex, background_tex, &buttontex, &regtriangle, scratch, w);
}

rgb pixel(int x, int y)
{
    const unsigned char* p = &pixels[((size_t)(height - 1 - y) * width + (size_t)x) * 4];
    return {p[0], p[1], p[2]};
}

void grow(box& b, int x, int y)
{
    b = {std::min(b.left, x), std::max(b.right, x), std::min(b.top, y), std::max(b.bottom, y)};
}

// Draws a frame and finds where each face shows its picture.
std::array<box, 8> faces_drawn(double t, double x = NAN, double y = NAN, double w = 0)
{
    draw(t, x, y, w);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    std::array<box, 8> faces;
    for (int py = 0; py < height; py++) {
        for (int px = 0; px < width; px++) {
            const rgb c = pixel(px, py);
            const int i = c[0] / 20;
            if (i < 8 && c == face_colour(i, c[1] == 200, c[2] == 200))
                grow(faces[(size_t)i], px, py);
        }
    }
    return faces;
}

// The one button hovered, -1 for none, -2 for several.
int hovered()
{
    const long n = std::count(hover, hover + 8, 1L);
    return n == 0 ? -1 : n > 1 ? -2 : (int)(std::find(hover, hover + 8, 1L) - hover);
}

}  // namespace

// Each face shows its picture upright in its place, a transparent one the lit gold;
// the panel is whole and lit silver; the background is upright; a hovered face comes nearer.
TEST(Render, DrawsTheMenu)
{
    REQUIRE_GL();
    const auto near = [](rgb c, rgb known) {  // within a few steps of the known colour
        return std::abs(c[0] - known[0]) + std::abs(c[1] - known[1]) + std::abs(c[2] - known[2]) <= 6;
    };
    const std::array<box, 8> f = faces_drawn(0);
    for (int i : {0, 1, 3, 4, 5, 6, 7}) {
        const box& b = f[(size_t)i];
        const int w = b.right - b.left, h = b.bottom - b.top;
        ASSERT_GT(w, 100) << "button " << i << " is not drawn";
        EXPECT_EQ(b.right < width / 2, i < 4) << "button " << i << " is in the wrong column";
        EXPECT_TRUE(i % 4 == 0 || i == 3 || b.top > f[(size_t)i - 1].bottom) << "button " << i << " is out of order";
        EXPECT_EQ(pixel(b.left + w / 4, b.top + h / 4), face_colour(i, true, false)) << i;
        EXPECT_EQ(pixel(b.right - w / 4, b.bottom - h / 4), face_colour(i, false, true)) << i;
    }
    EXPECT_TRUE(near(pixel((f[1].left + f[1].right) / 2, (f[1].bottom + f[3].top) / 2), {199, 171, 98})) << "gold";
    EXPECT_TRUE(near(pixel(width / 2, (f[0].top + f[0].bottom) / 2), {129, 129, 129})) << "silver";

    box panel, holes;  // the panel is everything but the background, which alone has no blue
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            if (pixel(x, y)[2] != 0)
                grow(panel, x, y);
    for (int y = panel.top; y <= panel.bottom; y++)
        for (int x = panel.left; x <= panel.right; x++)
            if (pixel(x, y)[2] == 0)
                grow(holes, x, y);
    // Its only hole is the square gap in the middle of the bar below the last row.
    const int hole_width = holes.right - holes.left, hole_height = holes.bottom - holes.top;
    EXPECT_TRUE(holes.top > f[6].bottom && std::abs(holes.left + holes.right + 1 - width) <= 1 &&
                std::abs(hole_width - hole_height) <= 1 && hole_width < 100) << "holes in the panel";
    EXPECT_TRUE(near(pixel(panel.left + 10, panel.bottom - 10), {177, 177, 177})) << "lit silver";
    EXPECT_LT(pixel(0, 0)[1], pixel(width - 1, height - 1)[1]) << "v = 0 at the top";
    EXPECT_LT(pixel(0, 0)[0], pixel(width - 1, height - 1)[0]) << "u = 0 on the left";

    const box& flat = f[4];
    const box lifted = faces_drawn(0, (flat.left + flat.right) / 2.0, (flat.top + flat.bottom) / 2.0, 1)[4];
    EXPECT_GT(lifted.right - lifted.left, flat.right - flat.left + 20) << "not lifted";
    EXPECT_GT(lifted.bottom - lifted.top, flat.bottom - flat.top + 5) << "not lifted";
}

// A button is hovered exactly where its face is drawn, at any panel depth: one
// pixel in from its outermost drawn pixels alone, one beyond the first undrawn ones not.
TEST(Render, HitTestFollowsTheDrawnFaces)
{
    REQUIRE_GL();
    for (double t : {0.0, 1.0 / 3, 1.0}) {
        const std::array<box, 8> f = faces_drawn(t);
        for (int i : {0, 1, 3, 4, 5, 6, 7}) {
            const box& b = f[(size_t)i];
            const double cx = (b.left + b.right + 1) / 2.0, cy = (b.top + b.bottom + 1) / 2.0;
            const struct { double x, y; int expect; } probes[] = {
                {cx, cy, i},
                {b.left + 1.5, cy, i},  {b.right - 0.5, cy, i},  {cx, b.top + 1.5, i},  {cx, b.bottom - 0.5, i},
                {b.left - 1.5, cy, -1}, {b.right + 2.5, cy, -1}, {cx, b.top - 1.5, -1}, {cx, b.bottom + 2.5, -1},
            };
            for (const auto& p : probes) {
                draw(t, p.x, p.y, 0.5);
                EXPECT_EQ(hovered(), p.expect) << "button " << i << " t " << t << " at " << p.x << ", " << p.y;
            }
        }
        for (const auto& [x, y] : {std::pair{width / 2.0, height / 2.0}, {NAN, NAN}, {NAN, 242.0}}) {
            draw(t, x, y, 0.5);
            EXPECT_EQ(hovered(), -1) << x << ", " << y;
        }
    }
}

// Counts this binary's heap allocations; AddressSanitizer brings its own allocator.
std::atomic<long> allocations{0};
#ifndef __SANITIZE_ADDRESS__
void* operator new(size_t size)
{
    allocations++;
    if (void* p = malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { free(p); }
void operator delete(void* p, size_t) noexcept { free(p); }
#endif

// A hundred frames, hovering and not, allocate nothing, make no GL object and draw 108 triangles each.
TEST(Render, FramesMakeNothingNew)
{
    REQUIRE_GL();
    draw(0, 960, 540);
    unsigned int query = 0, triangles = 0, names[2][2];
    glGenBuffers(1, &names[0][0]);
    glGenTextures(1, &names[0][1]);
    const long allocations_before = allocations;
    glGenQueries(1, &query);
    glBeginQuery(GL_PRIMITIVES_GENERATED, query);
    for (int frame = 0; frame < 100; frame++)
        draw(frame / 60.0, frame % 2 ? 1172 : 960, 242, 0.3);
    glEndQuery(GL_PRIMITIVES_GENERATED);
    glGetQueryObjectuiv(query, GL_QUERY_RESULT, &triangles);
    EXPECT_EQ(triangles, 100u * 108u);
    EXPECT_EQ(allocations - allocations_before, 0);
    glGenBuffers(1, &names[1][0]);
    glGenTextures(1, &names[1][1]);
    EXPECT_TRUE(names[1][0] == names[0][0] + 1 && names[1][1] == names[0][1] + 1) << "a GL object made in a frame";
}

// A broken shader is reported with its log, the fragment shader first and
// alone; a good pair links.
TEST(Gl, ProgramCompileReportsBrokenShaders)
{
    REQUIRE_GL();
    const char* const broken[] = {"#version 410 core\n", "out vec4 c;\n", "void main() { c = nope; }\n"};
    const struct { bool vertex_ok, fragment_ok; std::string out; } cases[] = {  // '*' stands for any text
        {true, false, "Trouble compiling the fragment shader.\nLog length *\nLog: *nope*"},
        {false, true, "Trouble compiling the vertex shader.\n"},
        {false, false, "Trouble compiling the fragment shader.\nLog length *\nLog: *nope*"},
        {true, true, ""},
    };
    for (const auto& c : cases) {
        const unsigned int program = glCreateProgram();
        int result = 0, linked = 0;
        const std::string out = capture([&] {
            result = program_compile(program, c.vertex_ok ? 26 : 3, c.vertex_ok ? regtriangle_vertex : broken,
                                     c.fragment_ok ? 29 : 3, c.fragment_ok ? regtriangle_fragment : broken);
        }).out;
        EXPECT_TRUE(matches(c.out, out)) << out;
        glGetProgramiv(program, GL_LINK_STATUS, &linked);
        EXPECT_TRUE(result == (c.out.empty() ? 0 : -1) && (linked != 0) == c.out.empty()) << result;
        glDeleteProgram(program);
    }
}
