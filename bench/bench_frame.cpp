// One frame of the menu at 1920x1080 on this machine's GL, render followed by
// glFinish, against a floor: a frame that only clears and draws the background
// quad with the same program and a 4096x4096 texture.
#include <cstdio>
#include <vector>

#include "glcontext.h"
#include "menuscene.h"
#include "timing.h"

namespace {

unsigned int big_background()
{
    std::vector<unsigned short> texels((size_t)4096 * 4096 * 4, 0x8000);
    unsigned int name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 4096, 4096, 0, GL_RGBA, GL_UNSIGNED_SHORT, texels.data());
    glGenerateMipmap(GL_TEXTURE_2D);
    return name;
}

// The floor: clear, then one textured quad streamed and drawn as the menu's background is.
void background_only(const MenuScene& scene, unsigned int texture)
{
    static const float quad[44] = {
        1, -1, 0, 0, 0, 1, 1, 1, 1, 1, 1,   1, 1, 0, 0, 0, 1, 1, 1, 1, 1, 0,
        -1, 1, 0, 0, 0, 1, 1, 1, 1, 0, 0,   -1, -1, 0, 0, 0, 1, 1, 1, 1, 0, 1,
    };
    static const unsigned int indices[6] = {0, 1, 3, 1, 2, 3};
    glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glBindVertexArray(scene.buttontex.vao);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, scene.buttontex.ebo);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof indices, indices, GL_STATIC_DRAW);
    glBindTexture(GL_TEXTURE_2D, texture);
    glBindBuffer(GL_ARRAY_BUFFER, scene.buttontex.vbo);
    glBufferData(GL_ARRAY_BUFFER, sizeof quad, quad, GL_DYNAMIC_DRAW);
    const int sizes[4] = {3, 3, 3, 2};
    for (unsigned int i = 0; i < 4; i++) {
        glVertexAttribPointer(i, sizes[i], GL_FLOAT, GL_FALSE, 44, (const void*)(uintptr_t)(i * 12));
        glEnableVertexAttribArray(i);
    }
    glUseProgram(scene.buttontex.program);
    glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_INT, nullptr);
    glUseProgram(0);
    glBindVertexArray(0);
}

}  // namespace

int main()
{
    if (!test_window()) {
        fprintf(stderr, "bench_frame: needs an X display with GL 4.5 (try scripts/with-xvfb.sh)\n");
        return 1;
    }
    MenuScene scene;
    scene.background_tex = big_background();
    const point_t on_observe = cursor_at(1171, 242);
    int frame = 0;

    // Both start with a frame of the menu so that the uniform buffers hold real values.
    const double menu = median_seconds(20, 200, [&] {
        scene.draw(frame++ / 60.0, on_observe, 0.4);
        glFinish();
    });
    const double floor = median_seconds(20, 200, [&] {
        background_only(scene, scene.background_tex);
        glFinish();
    });
    printf("GL: %s\n", (const char*)glGetString(GL_RENDERER));
    report("frame (render + glFinish)", menu, "clear + background quad", floor);
    return 0;
}
