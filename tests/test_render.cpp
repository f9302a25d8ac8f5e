// Frames drawn offscreen, callbacks called in-process: the scene, its motion, the hit test, keys,
// shader logs, uniform buffers.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

#include "support.h"

namespace {

constexpr int width = 1920, height = 1080;
using rgb = std::array<int, 3>;
using box = std::array<int, 4>;     // left, bottom, right, top
using boxes = std::array<box, 11>;  // faces 0-7, background, silver, gold

slpack packs[2];
unsigned int tex[10];  // pictures, background, target
long hover[8];
float scratch[44];
std::vector<unsigned char> pixels(4 * width * height);

void draw(double t, double x = NAN, double y = NAN, double w = 0)
{
    if (!tex[0]) {
        setup_programs(&packs[0], &packs[1]);
        std::vector<unsigned> texels;  // u red, v green, blue 200 + 5 i; 2 clear
        for (unsigned n = 0, i = 0; i < 10; i = ++n >> 16)
            texels.push_back((n & 0xffff) | (i < 8) * (200 + 5 * i) << 16 | (i != 2) * 255u << 24);
        glCreateTextures(GL_TEXTURE_2D, 10, tex);
        for (int i = 0; i < 10; i++) {
            glTextureStorage2D(tex[i], 1, GL_RGBA8, i < 9 ? 256 : width, i < 9 ? 256 : height);
            glTextureSubImage2D(tex[i], 0, 0, 0, 256, 256, GL_RGBA, GL_UNSIGNED_BYTE,
                                &texels[i << 16]);
        }
        unsigned int target = 0;
        glCreateFramebuffers(1, &target);
        glNamedFramebufferTexture(target, GL_COLOR_ATTACHMENT0, tex[9], 0);
        glBindFramebuffer(GL_FRAMEBUFFER, target);
        framebuffer_size_callback(test_window(), width, height);
    }
    point_t cursor = {x / width - 0.5, y / height - 0.5};
    render(test_window(), t, &cursor, hover, tex, tex[8], &packs[0], &packs[1], scratch, w);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
}

rgb pixel(int x, int y)
{
    const unsigned char* p = &pixels.at((y * width + x) * 4);
    return {p[0], p[1], p[2]};
}

int kind(rgb c)
{
    return c[2] > 199 ? (c[2] - 200) / 5 : c[2] ? 9 + (c[0] != c[2]) : 8;
}

boxes where(box in = {0, 0, width, height})
{
    boxes b;
    b.fill({width, height, -1, -1});
    for (int y = in[1]; y < in[3]; y++) {
        for (int x = in[0]; x < in[2]; x++) {
            box& k = b[kind(pixel(x, y))];
            k = {std::min(k[0], x), std::min(k[1], y), std::max(k[2], x), std::max(k[3], y)};
        }
    }
    return b;
}

boxes frame(double t)
{
    draw(t);
    return where();
}

}  // namespace

// Run first: x turns after 80 frames, y after 50, then every 201, holding one, 128 of 256
// texels apart (so upright too).
TEST(Render, BackgroundDriftsOverItsWholeRange)
{
    REQUIRE_GL();
    double at[403][2] = {};  // sums: top row, left column
    for (auto& a : at) {
        draw(0);
        for (int i = 0; i < height; i++) {
            a[0] -= pixel(i + 420, 1071)[0];
            a[1] += pixel(9, i)[1];
        }
    }
    for (int a : {0, 1}) {
        const int turn = a ? 51 : 81;
        for (int n = 1; n < 403; n++)
            EXPECT_EQ(std::abs(at[n][a] - at[n - 1][a]) < 300, n % 201 == turn % 201) << a << n;
        EXPECT_NEAR(at[turn][a] - at[turn + 201][a], 128 * height, 500);
    }
    for (const slpack& p : packs) {
        for (unsigned i = 0; i < 3; i++) {
            int need = 0, binding = 0, range = 0, buffer = 0, size = 0;
            glGetActiveUniformBlockiv(p.program, i, GL_UNIFORM_BLOCK_DATA_SIZE, &need);
            glGetActiveUniformBlockiv(p.program, i, GL_UNIFORM_BLOCK_BINDING, &binding);
            glGetIntegeri_v(GL_UNIFORM_BUFFER_SIZE, binding, &range);
            glGetIntegeri_v(GL_UNIFORM_BUFFER_BINDING, binding, &buffer);
            glGetNamedBufferParameteriv(buffer, GL_BUFFER_SIZE, &size);
            EXPECT_TRUE(std::min(range, size) >= need) << i;
        }
    }
}

TEST(Render, DrawsTheMenu)
{
    REQUIRE_GL();
    const boxes f = frame(0);
    for (int i : {0, 1, 3, 4, 5, 6, 7}) {
        const box& b = f[i];
        const rgb corner = pixel(b[0], b[3]);  // u 0, v 1
        EXPECT_TRUE(corner[0] < 9 && corner[1] > 246 && b[2] - b[0] > 99) << i;
        EXPECT_TRUE((b[2] < width / 2) == (i < 4) && (i % 4 == 0 || i == 3 || b[3] < f[i - 1][1]));
    }
    const box &panel = f[9], hole = where(panel)[8];
    EXPECT_EQ(pixel((f[1][0] + f[1][2]) / 2, (f[1][1] + f[3][3]) / 2), (rgb{199, 171, 98}));
    EXPECT_EQ(pixel(panel[0] + 9, panel[1] + 9), (rgb{177, 177, 177}));
    EXPECT_TRUE(hole[3] < f[6][1] && hole[2] - hole[0] < 99 &&
                std::abs(hole[0] + hole[2] + 1 - width) < 2);

    for (int i : {0, 7}) {  // at 1/2 a box floats its height up: walls turn to gaps
        const box& b = f[i];
        const int w = (b[2] - b[0]) / 3, h = (b[3] - b[1]) / 3;
        for (box across : {box{b[0] + w, b[1] - 20, b[2] - w, b[3] + 20},
                           box{b[0] - 20, b[1] + h, b[2] + 20, b[3] - h}}) {
            draw(0);
            const box walls = where(across)[10];
            draw(0, (b[0] + b[2]) / 2, (b[1] + b[3]) / 2, 0.5);
            EXPECT_EQ(where(across)[8], walls) << i;
        }
    }
    // Breathing, period 4/3 s: farthest at 1/3, nearest at 1, 0.1 apart.
    const boxes nearest = frame(1), farthest = frame(1.0 / 3);
    EXPECT_TRUE(frame(2.0 / 3) == f && frame(4.0 / 3) == f);
    EXPECT_TRUE(farthest[4][2] < f[4][2] && f[4][2] < nearest[4][2]);
    const box& b = farthest[4];
    draw(1.0 / 3, (b[0] + b[2]) / 2, (b[1] + b[3]) / 2, 0.2);
    EXPECT_EQ(where()[4], nearest[4]);

    framebuffer_size_callback(test_window(), 1280, 720);
    const box drawn = frame(0)[8];
    framebuffer_size_callback(test_window(), width, height);
    EXPECT_EQ(drawn, (box{0, 0, 1279, 719}));
}

TEST(Render, HitTestFollowsTheDrawnFaces)
{
    REQUIRE_GL();
    for (double t : {0.0, 1.0 / 3, 1.0}) {
        const boxes f = frame(t);
        EXPECT_EQ(std::count(hover, hover + 8, 0), 8);
        for (int i : {0, 1, 3, 4, 5, 6, 7}) {
            for (int e = 0; e < 8; e++) {  // a pixel in from each edge, two out
                const box& b = f[i];
                const int in = e < 4 ? 1 : -2;
                double p[2] = {(b[0] + b[2]) / 2.0, (b[1] + b[3]) / 2.0};
                p[e % 2] = b[e % 4] + 0.5 + (e % 4 < 2 ? in : -in);
                draw(t, p[0], p[1], 0.5);
                EXPECT_TRUE(std::count(hover, hover + 8, 0) == 8 - (in > 0) && hover[i] == (in > 0))
                    << i << e << ' ' << t;
            }
        }
    }
}

TEST(Input, KeysAndShaderLogs)
{
    REQUIRE_GL();
    GLFWwindow* win = test_window();
    for (int key : {GLFW_KEY_Q, GLFW_KEY_ESCAPE}) {
        for (int action : {GLFW_RELEASE, GLFW_REPEAT, GLFW_PRESS}) {
            key_callback(win, key, 0, action, 0);
            EXPECT_EQ(glfwWindowShouldClose(win), key == GLFW_KEY_ESCAPE && action == 1);
        }
    }
    // Of two broken shaders, the fragment one is reported, alone; a broken vertex one by name.
    const char* const bad[] = {"#version 410 core\n", "void main() { x; }\n"};
    int result = 0;
    captured c = capture([&] { result = program_compile(glCreateProgram(), 2, bad, 2, bad); });
    EXPECT_TRUE(result == -1 && c.out.rfind("Trouble") == 0 &&
                matches("* fragment shader.\nLog length *\nLog: *x*", c.out))
        << c.out;
    c = capture(
        [&] { result = program_compile(glCreateProgram(), 2, bad, 29, regtriangle_fragment); });
    EXPECT_TRUE(result == -1 && c.out == "Trouble compiling the vertex shader.\n") << c.out;
}

// The frame loop's elapsed time, from 9.5 s ago: a slip in the nanoseconds puts it a second out.
TEST(Render, ElapsedTime)
{
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    const long half = 500000000;
    const timespec start = {now.tv_sec - 10 + (now.tv_nsec >= half),
                            (now.tv_nsec + half) % (2 * half)};
    EXPECT_NEAR(seconds_since(&start), 9.5, 0.2);
}
