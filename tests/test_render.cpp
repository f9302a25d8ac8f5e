// One frame of the menu, drawn by render into an offscreen 1920x1080 target
// and read back: what is drawn where, what the frame streams, and the hit test.
#include <atomic>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <new>

#include "glcontext.h"
#include "glrecord.h"
#include "menuscene.h"

namespace {

std::atomic<long> allocations{0};

constexpr double nan_value = std::nan("");
constexpr point_t nowhere = {nan_value, nan_value};
const float depth_at_0 = 0.2f;  // the panel depth offset at t = 0

bool near(const rgba& actual, const rgba& expected, int tolerance = 2)
{
    for (int c = 0; c < 4; c++)
        if (std::abs(actual[c] - expected[c]) > tolerance)
            return false;
    return true;
}

std::string show(const rgba& c)
{
    return "(" + std::to_string(c[0]) + ", " + std::to_string(c[1]) + ", " + std::to_string(c[2]) +
           ", " + std::to_string(c[3]) + ")";
}

int hovered(const MenuScene& scene)
{
    int found = -1;
    for (int i = 0; i < 8; i++) {
        if (scene.hover[i] != 0) {
            if (found >= 0)
                return -2;
            found = i;
        }
    }
    return found;
}

uint32_t bits(float f)
{
    uint32_t b;
    memcpy(&b, &f, sizeof b);
    return b;
}

std::vector<float> buffer_floats(unsigned int buffer, int count)
{
    std::vector<float> values((size_t)count);
    glGetNamedBufferSubData(buffer, 0, count * 4, values.data());
    return values;
}

void expect_bits(const std::vector<float>& actual, const std::vector<float>& expected,
                 const char* what)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < expected.size(); i++)
        EXPECT_EQ(bits(actual[i]), bits(expected[i])) << what << " element " << i;
}

std::vector<float> panel_model(float depth)
{
    return {0.75f, 0, 0, 0, 0, 0.75f, 0, 0, 0, 0, 0.75f, 0, -0.375f, -0.375f, 0.75f * depth, 1};
}

}  // namespace

// Counts every C++ heap allocation in this test binary; AddressSanitizer brings
// its own allocator, so there the count is not kept.
#ifndef __SANITIZE_ADDRESS__
#define COUNTS_ALLOCATIONS 1
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

// Each face shows its own picture upright; transparent texels show gold; the
// panel is silver; the background fills the screen with v = 0 at the top.
TEST(RenderPixels, FacesPanelAndBackground)
{
    REQUIRE_GL();
    MenuScene scene;
    scene.make_transparent(2);
    scene.frame(0, nowhere, 0);

    for (int i = 0; i < 8; i++) {
        if (i == 2)
            continue;
        const screen_rect r = face_on_screen(i, depth_at_0);
        const double w = r.right - r.left, h = r.bottom - r.top;
        for (bool top : {true, false}) {
            for (bool right : {true, false}) {
                const rgba got = scene.pixel((int)(r.left + (right ? 0.75 : 0.25) * w),
                                             (int)(r.top + (top ? 0.25 : 0.75) * h));
                EXPECT_TRUE(near(got, button_colour(i, top, right)))
                    << "button " << i << (top ? " top" : " bottom") << (right ? " right" : " left")
                    << ": " << show(got);
            }
        }
    }

    const screen_rect blank = face_on_screen(2, depth_at_0);
    const rgba gold = scene.pixel((int)((blank.left + blank.right) / 2),
                                  (int)((blank.top + blank.bottom) / 2));
    // At least the gold's ambient (0.75, 0.61, 0.23), and warm.
    EXPECT_TRUE(gold[0] >= 190 && gold[1] >= 153 && gold[2] >= 57 && gold[0] > gold[1] &&
                gold[1] > gold[2])
        << show(gold);

    const screen_xy border = project_panel_point(0.05, 0.5, 0, depth_at_0);
    const rgba silver = scene.pixel((int)border.x, (int)border.y);
    EXPECT_TRUE(silver[0] >= 128 && std::abs(silver[0] - silver[1]) <= 1 &&
                std::abs(silver[1] - silver[2]) <= 1)
        << show(silver);

    // The background's red follows u and its green follows v; the clear grey has blue.
    const rgba top_left = scene.pixel(0, 0), bottom_right = scene.pixel(1919, 1079);
    for (const rgba& corner : {top_left, scene.pixel(1919, 0), scene.pixel(0, 1079), bottom_right})
        EXPECT_EQ(corner[2], 0) << show(corner);
    EXPECT_LT(top_left[1], bottom_right[1]);
    EXPECT_LT(top_left[0], bottom_right[0]);
}

// The hovered face comes towards the viewer, so it covers more of the screen.
TEST(RenderPixels, HoveredFaceIsLiftedAndLarger)
{
    REQUIRE_GL();
    MenuScene scene;
    const screen_rect r = face_on_screen(4, depth_at_0);
    const int beyond_x = (int)r.right + 6, mid_y = (int)((r.top + r.bottom) / 2);
    const point_t centre = cursor_at((r.left + r.right) / 2, (r.top + r.bottom) / 2);

    scene.frame(0, centre, 0);
    EXPECT_EQ(hovered(scene), 4);
    const rgba flat = scene.pixel(beyond_x, mid_y);
    scene.frame(0, centre, 1);
    const rgba lifted = scene.pixel(beyond_x, mid_y);
    EXPECT_FALSE(near(flat, button_colour(4, false, true), 8)) << show(flat);
    EXPECT_TRUE(near(lifted, button_colour(4, false, true), 8) ||
                near(lifted, button_colour(4, true, true), 8))
        << show(lifted);
}

// 67 draws (background, 26 panel triangles, 32 walls, 8 faces), 108 triangles,
// each draw streaming the whole 176-byte quad.
TEST(RenderStream, SixtySevenDrawsOf108Triangles)
{
    REQUIRE_GL();
    MenuScene scene;
    unsigned int query = 0;
    glGenQueries(1, &query);
    GlRecorder recorder;
    glBeginQuery(GL_PRIMITIVES_GENERATED, query);
    scene.draw(0, nowhere, 0);
    glEndQuery(GL_PRIMITIVES_GENERATED);
    unsigned int triangles = 0;
    glGetQueryObjectuiv(query, GL_QUERY_RESULT, &triangles);
    glDeleteQueries(1, &query);

    EXPECT_EQ(triangles, 108u);
    ASSERT_EQ(recorder.draws.size(), 67u);
    for (size_t i = 0; i < 67; i++) {
        const bool panel = i >= 1 && i <= 26, faces = i >= 59;
        EXPECT_EQ(recorder.draws[i].count, panel ? 3 : 6) << i;
        EXPECT_EQ(recorder.draws[i].program,
                  i == 0 || faces ? scene.buttontex.program : scene.regtriangle.program)
            << i;
        if (i == 0 || faces) {
            EXPECT_EQ(recorder.draws[i].texture, i == 0 ? scene.background_tex : scene.button_tex[i - 59]);
        }
    }
    size_t array_uploads = 0;
    for (const gl_upload& u : recorder.uploads) {
        if (u.target == GL_ARRAY_BUFFER) {
            array_uploads++;
            EXPECT_EQ(u.bytes.size(), 176u);
        }
    }
    EXPECT_EQ(array_uploads, 67u);
}

// Whatever the scratch array held, the frame draws the template's normals,
// colours and texture coordinates.
TEST(RenderStream, ScratchStartsFromTheTemplate)
{
    REQUIRE_GL();
    MenuScene scene;
    for (float& f : scene.scratch)
        f = nanf("");
    GlRecorder recorder;
    scene.draw(0, nowhere, 0);
    const std::vector<float>& v = recorder.draws.at(0).vertices;
    ASSERT_EQ(v.size(), 44u);
    const float texcoords[4][2] = {{1, 1}, {1, 0}, {0, 0}, {0, 1}};
    for (int slot = 0; slot < 4; slot++) {
        const float* record = &v[(size_t)slot * 11];
        const std::vector<float> rest(record + 3, record + 11);
        EXPECT_EQ(rest, (std::vector<float>{0, 0, 1, 1, 1, 1, texcoords[slot][0], texcoords[slot][1]}))
            << "slot " << slot;
    }
}

// After a frame the buffers hold the light, gold with shininess 51.2, and the
// projection, view and panel matrices, bit for bit; the panel moves in depth with t.
TEST(RenderStream, UniformBuffersAfterAFrame)
{
    REQUIRE_GL();
    MenuScene scene;
    const std::vector<float> projection = {-3.73868537f, 0, 0, 0, 0, -6.64655161f, 0, 0,
                                           0, 0, -1.00100052f, -1, 0, 0, -0.100050025f, 0};
    EXPECT_EQ(bits(projection[0]), 0xC06F469Fu);
    EXPECT_EQ(bits(projection[5]), 0xC0D4B08Du);
    EXPECT_EQ(bits(projection[10]), 0xBF8020C9u);
    EXPECT_EQ(bits(projection[14]), 0xBDCCE707u);
    const float skew = 2.85714282e-06f;
    EXPECT_EQ(bits(skew), 0x363FBD57u);
    const std::vector<float> view = {-1, 0, 0, 0, 0, -1, skew, 0, 0, skew, 1, 0, 0, 0, -3.5f, 1};
    const std::vector<float> gold = {0.24725f, 0.1995f, 0.0745f, 1.0f, 0.75164f, 0.60648f,
                                     0.22648f, 0.0f, 0.628281f, 0.555802f, 0.366065f, 1.0f, 51.2f};

    const struct { double t; float depth; } depths[] = {{0, 0.2f}, {1.0 / 3, 0.15f}, {1, 0.25f}};
    for (const auto& d : depths) {
        scene.draw(d.t, nowhere, 0);
        for (const slpack* pack : {&scene.regtriangle, &scene.buttontex}) {
            expect_bits(buffer_floats(pack->ubo_lights, 4), {0.8f, 0.75f, 1.5f, 0.0f}, "light");
            expect_bits(buffer_floats(pack->ubo_materials, 13), gold, "material");
            std::vector<float> matrices = buffer_floats(pack->ubo_matrices, 48);
            expect_bits({matrices.begin(), matrices.begin() + 16}, projection, "projection");
            expect_bits({matrices.begin() + 16, matrices.begin() + 32}, view, "view");
            expect_bits({matrices.begin() + 32, matrices.end()}, panel_model(d.depth), "model");
        }
    }
}

// Only the hovered button rises, by h = 0.5 w: walls from h to 0.25 + h, face at 0.25 + h.
TEST(RenderStream, LiftOnlyOnTheHoveredButton)
{
    REQUIRE_GL();
    MenuScene scene;
    const screen_rect r = face_on_screen(5, depth_at_0);
    GlRecorder recorder;
    scene.draw(0, cursor_at((r.left + r.right) / 2, (r.top + r.bottom) / 2), 0.6);
    ASSERT_EQ(recorder.draws.size(), 67u);
    for (int button = 0; button < 8; button++) {
        const double lift = button == 5 ? 0.3 : 0;
        const gl_draw& face = recorder.draws[59 + (size_t)button];
        for (int slot = 0; slot < 4; slot++)
            EXPECT_EQ(face.vertices[(size_t)slot * 11 + 2], (float)(0.25 + lift)) << button;
        for (int wall = 0; wall < 4; wall++) {
            const gl_draw& quad = recorder.draws[27 + 4 * (size_t)button + (size_t)wall];
            for (int slot = 0; slot < 4; slot++) {
                const float z = quad.vertices[(size_t)slot * 11 + 2];
                EXPECT_TRUE(z == (float)(0.25 + lift) || z == (float)lift) << button << " " << z;
            }
        }
    }
}

// No heap allocation in a hundred frames.
TEST(RenderStream, AllocatesNothing)
{
#ifndef COUNTS_ALLOCATIONS
    GTEST_SKIP() << "allocations are not counted under AddressSanitizer";
#endif
    REQUIRE_GL();
    MenuScene scene;
    const screen_rect r = face_on_screen(0, depth_at_0);
    const point_t on_button = cursor_at(r.left + 5, r.top + 5);
    for (int i = 0; i < 5; i++)  // let the driver settle its shader variants first
        scene.draw(i / 60.0, on_button, 0.3);
    glFinish();
    const long before = allocations;
    for (int i = 0; i < 100; i++)
        scene.draw(i / 60.0, i % 2 ? on_button : nowhere, 0.3);
    glFinish();
    EXPECT_EQ(allocations - before, 0);
}

// Whether a pixel shows button i's test picture: its red is the button's own,
// and it is no grey of the panel.
bool shows_face(const rgba& c, int button)
{
    const bool grey = std::abs(c[0] - c[1]) <= 2 && std::abs(c[1] - c[2]) <= 2;
    return std::abs(c[0] - button_colour(button, false, false)[0]) <= 3 && !grey;
}

// A button is hovered exactly where its un-lifted face is drawn, to within a pixel,
// at any panel depth; nothing else hovers.
TEST(RenderHit, FollowsTheDrawnFaces)
{
    REQUIRE_GL();
    MenuScene scene;
    // The face rectangles used below are where the faces are drawn: two pixels
    // inside each edge is the face, two pixels outside is not.
    scene.frame(0, nowhere, 0);
    for (int i = 0; i < 8; i++) {
        const screen_rect r = face_on_screen(i, depth_at_0);
        const double cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
        const struct { double x, y; bool face; } edges[] = {
            {r.left + 2, cy, true},  {r.right - 2, cy, true},  {cx, r.top + 2, true},  {cx, r.bottom - 2, true},
            {r.left - 2, cy, false}, {r.right + 2, cy, false}, {cx, r.top - 2, false}, {cx, r.bottom + 2, false},
        };
        for (const auto& e : edges)
            EXPECT_EQ(shows_face(scene.pixel((int)e.x, (int)e.y), i), e.face)
                << "button " << i << " at " << e.x << ", " << e.y << ": " << show(scene.pixel((int)e.x, (int)e.y));
    }

    const struct { double t; float depth; } frames[] = {{0, 0.2f}, {1.0 / 3, 0.15f}, {1, 0.25f}};
    for (const auto& f : frames) {
        for (int i = 0; i < 8; i++) {
            const screen_rect r = face_on_screen(i, f.depth);
            const double cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
            const struct { double x, y; int expect; } probes[] = {
                {cx, cy, i},
                {r.left + 1, cy, i},   {r.right - 1, cy, i},
                {cx, r.top + 1, i},    {cx, r.bottom - 1, i},
                {r.left - 1, cy, -1},  {r.right + 1, cy, -1},
                {cx, r.top - 1, -1},   {cx, r.bottom + 1, -1},
            };
            for (const auto& p : probes) {
                scene.draw(f.t, cursor_at(p.x, p.y), 0.5);
                EXPECT_EQ(hovered(scene), p.expect)
                    << "button " << i << " t " << f.t << " at " << p.x << ", " << p.y;
            }
        }
    }
    for (const point_t p : {point_t{0, 0}, nowhere, point_t{nan_value, 0.27}, point_t{5, 0.27}}) {
        scene.draw(0, p, 0.5);
        EXPECT_EQ(hovered(scene), -1) << p.x << ", " << p.y;
    }
}

// Open on the left and bottom, closed on the right and top, on the exact doubles (e - 0.5) * 0.75.
TEST(ButtonInrange, ExactBounds)
{
    double start[12] = {0.4, 0.9, 0, 0.4, 0.8, 0, 0.1, 0.8, 0, 0.1, 0.9, 0};
    const double inside_y = 0.25;
    const struct { double x, y; int expect; } cases[] = {
        {-0.30000000000000004, inside_y, 0}, {-0.3, inside_y, 1},
        {-0.07499999999999998, inside_y, 1}, {-0.07499999999999997, inside_y, 0},
        {-0.2, 0.22500000000000003, 0},      {-0.2, 0.225, 0},
        {-0.2, 0.22500000000000006, 1},      {-0.2, 0.30000000000000004, 1},
        {-0.2, 0.3000000000000001, 0},       {nan_value, inside_y, 0},
        {-0.2, nan_value, 0},
    };
    for (const auto& c : cases) {
        point_t p = {c.x, c.y};
        EXPECT_EQ(button_inrange(&p, start), c.expect) << c.x << ", " << c.y;
    }
}

// Four walls (top, left, bottom, right), each from the base z to the absolute top 0.25.
TEST(FillSidequads, CornerOrderAndAbsoluteTop)
{
    double rect[12] = {0.9, 0.7, 0.1, 0.9, 0.6, 0.1, 0.6, 0.6, 0.1, 0.6, 0.7, 0.1};
    double out[50];
    out[48] = out[49] = 42;
    EXPECT_EQ(fill_sidequads(out, 4, rect), 0);
    const double L = 0.6, R = 0.9, T = 0.7, B = 0.6, Z = 0.1, H = 0.25;
    const double expected[48] = {
        L, T, H,  L, T, Z,  R, T, Z,  R, T, H,
        L, B, H,  L, B, Z,  L, T, Z,  L, T, H,
        R, B, H,  R, B, Z,  L, B, Z,  L, B, H,
        R, T, H,  R, T, Z,  R, B, Z,  R, B, H,
    };
    for (int i = 0; i < 48; i++)
        EXPECT_EQ(out[i], expected[i]) << i;
    EXPECT_EQ(out[48], 42);
    EXPECT_EQ(out[49], 42);
}
