// One frame of the menu at 1920x1080 on this machine's GL, render followed by
// glFinish, against a floor: a frame that only clears and draws the background
// quad with the same program and a 4096x4096 texture. The pointer rests on
// the "Observe" button, so that one button is raised as in use.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "support.h"
#include "timing.h"

namespace {

constexpr int width = 1920;
constexpr int height = 1080;
constexpr int hovered = 4;

unsigned int texture(int side, const std::vector<unsigned short>& texels)
{
    unsigned int name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, side, side, 0, GL_RGBA, GL_UNSIGNED_SHORT, texels.data());
    glGenerateMipmap(GL_TEXTURE_2D);
    return name;
}

// Button i's face: one opaque colour that nothing else on screen has.
std::vector<unsigned short> face_colour(int button)
{
    const unsigned short rgba[4] = {65535, 0, (unsigned short)(257 * 25 * button), 65535};
    std::vector<unsigned short> texels;
    for (int i = 0; i < 8 * 8; i++)
        texels.insert(texels.end(), rgba, rgba + 4);
    return texels;
}

// The cursor point at the middle of the drawn face of `button`, found in a
// frame read back with the pointer off the screen.
point_t face_centre(GLFWwindow* window, unsigned int* button_tex, unsigned int background,
                    slpack* buttontex, slpack* regtriangle, float* scratch)
{
    long hover[8] = {};
    point_t away = {2, 2};
    render(window, 0, &away, hover, button_tex, background, buttontex, regtriangle, scratch, 0);
    std::vector<unsigned char> frame((size_t)width * height * 4);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, frame.data());
    double sum_x = 0, sum_y = 0, count = 0;
    for (size_t i = 0; i < frame.size(); i += 4)
        if (frame[i] == 255 && frame[i + 1] == 0 && frame[i + 2] == 25 * hovered) {
            sum_x += (double)(i / 4 % width);
            sum_y += (double)(i / 4 / width);
            count++;
        }
    return {sum_x / count / width - 0.5, sum_y / count / height - 0.5};
}

// The floor: clear, then one textured quad streamed and drawn as the menu's background is.
void background_only(const slpack& pack, unsigned int texture)
{
    static const float quad[44] = {
        1, -1, 0, 0, 0, 1, 1, 1, 1, 1, 1,   1, 1, 0, 0, 0, 1, 1, 1, 1, 1, 0,
        -1, 1, 0, 0, 0, 1, 1, 1, 1, 0, 0,   -1, -1, 0, 0, 0, 1, 1, 1, 1, 0, 1,
    };
    static const unsigned int indices[6] = {0, 1, 3, 1, 2, 3};
    glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glBindVertexArray(pack.vao);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, pack.ebo);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof indices, indices, GL_STATIC_DRAW);
    glBindTexture(GL_TEXTURE_2D, texture);
    glBindBuffer(GL_ARRAY_BUFFER, pack.vbo);
    glBufferData(GL_ARRAY_BUFFER, sizeof quad, quad, GL_DYNAMIC_DRAW);
    const int sizes[4] = {3, 3, 3, 2};
    for (unsigned int i = 0; i < 4; i++) {
        glVertexAttribPointer(i, sizes[i], GL_FLOAT, GL_FALSE, 44, (const void*)(uintptr_t)(i * 12));
        glEnableVertexAttribArray(i);
    }
    glUseProgram(pack.program);
    glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_INT, nullptr);
    glUseProgram(0);
    glBindVertexArray(0);
}

}  // namespace

int main()
{
    GLFWwindow* window = test_window();
    if (!window) {
        fprintf(stderr, "bench_frame: needs an X display with GL 4.5 (try scripts/with-xvfb.sh)\n");
        return 1;
    }
    slpack buttontex = {}, regtriangle = {};
    int status = 0;
    const captured setup = capture([&] { status = setup_programs(&buttontex, &regtriangle); });
    if (status != 0) {
        fprintf(stderr, "bench_frame: the programs failed:\n%s", setup.out.c_str());
        return 1;
    }
    unsigned int button_tex[8];
    for (int i = 0; i < 8; i++)
        button_tex[i] = texture(8, face_colour(i));
    const unsigned int background = texture(4096, std::vector<unsigned short>((size_t)4096 * 4096 * 4, 0x8000));

    // The window is small: frames go to a screen-sized target of their own.
    unsigned int target = 0, colour = 0;
    glGenTextures(1, &colour);
    glBindTexture(GL_TEXTURE_2D, colour);
    glTexStorage2D(GL_TEXTURE_2D, 1, GL_RGBA8, width, height);
    glGenFramebuffers(1, &target);
    glBindFramebuffer(GL_FRAMEBUFFER, target);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour, 0);
    glViewport(0, 0, width, height);

    float scratch[44] = {};
    point_t on_face = face_centre(window, button_tex, background, &buttontex, &regtriangle, scratch);
    long hover[8] = {};
    int frame = 0;
    // Both start with a frame of the menu so that the uniform buffers hold real values.
    const double menu = median_seconds(20, 200, [&] {
        render(window, frame++ / 60.0, &on_face, hover, button_tex, background, &buttontex, &regtriangle,
               scratch, 0.4);
        glFinish();
    });
    if (hover[hovered] != 1) {
        fprintf(stderr, "bench_frame: the pointer missed button %d\n", hovered);
        return 1;
    }
    const double floor = median_seconds(20, 200, [&] {
        background_only(buttontex, background);
        glFinish();
    });
    printf("GL: %s\n", (const char*)glGetString(GL_RENDERER));
    report("frame (render + glFinish)", menu, "clear + background quad", floor);
    return 0;
}
