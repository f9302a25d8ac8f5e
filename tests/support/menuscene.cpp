#include "menuscene.h"

#include "glcontext.h"

namespace {

unsigned int make_texture(int width, int height, const std::vector<unsigned char>& texels)
{
    unsigned int name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 texels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return name;
}

// 8x8 texels in four quadrants; GL's row 0 is the bottom of the picture.
unsigned int make_button_texture(int button)
{
    std::vector<unsigned char> texels;
    for (int row = 0; row < 8; row++)
        for (int column = 0; column < 8; column++)
            for (int c : button_colour(button, row >= 4, column >= 4))
                texels.push_back((unsigned char)c);
    return make_texture(8, 8, texels);
}

// Red grows with u, green with v, no blue: never the grey of the clear colour.
unsigned int make_background_texture()
{
    std::vector<unsigned char> texels;
    for (int v = 0; v < 256; v++)
        for (int u = 0; u < 256; u++)
            texels.insert(texels.end(), {(unsigned char)u, (unsigned char)v, 0, 255});
    return make_texture(256, 256, texels);
}

void make_pack(slpack* pack, const char* const* vertex, long vertex_count,
               const char* const* fragment, long fragment_count, unsigned int first_binding)
{
    glGenVertexArrays(1, &pack->vao);
    glGenBuffers(1, &pack->vbo);
    glGenBuffers(1, &pack->ebo);
    pack->program = glCreateProgram();
    program_compile(pack->program, vertex_count, vertex, fragment_count, fragment);
    pack->ubo_lights = ubogen(pack->program, "Lights", 16, first_binding);
    pack->ubo_materials = ubogen(pack->program, "Materials", 52, first_binding + 2);
    pack->ubo_matrices = ubogen(pack->program, "Matrices", 192, first_binding + 4);
}

void delete_pack(slpack* pack)
{
    glDeleteVertexArrays(1, &pack->vao);
    glDeleteBuffers(1, &pack->vbo);
    glDeleteBuffers(1, &pack->ebo);
    const unsigned int buffers[3] = {pack->ubo_lights, pack->ubo_materials, pack->ubo_matrices};
    glDeleteBuffers(3, buffers);
    glDeleteProgram(pack->program);
}

}  // namespace

rgba button_colour(int button, bool top, bool right)
{
    return {10 + 20 * button, top ? 200 : 60, right ? 200 : 60, 255};
}

MenuScene::MenuScene()
{
    if (!test_window())
        return;
    make_pack(&regtriangle, regtriangle_vertex, 26, regtriangle_fragment, 29, 0);
    make_pack(&buttontex, buttontex_vertex, 29, buttontex_fragment, 39, 1);
    for (int i = 0; i < 8; i++)
        button_tex[i] = make_button_texture(i);
    background_tex = make_background_texture();

    glGenTextures(1, &colour_);
    glBindTexture(GL_TEXTURE_2D, colour_);
    glTexStorage2D(GL_TEXTURE_2D, 1, GL_RGBA8, screen_width, screen_height);
    glBindTexture(GL_TEXTURE_2D, 0);
    glGenFramebuffers(1, &fbo_);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour_, 0);
    glViewport(0, 0, screen_width, screen_height);
}

MenuScene::~MenuScene()
{
    if (!test_window())
        return;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &fbo_);
    glDeleteTextures(1, &colour_);
    glDeleteTextures(8, button_tex);
    glDeleteTextures(1, &background_tex);
    delete_pack(&buttontex);
    delete_pack(&regtriangle);
}

void MenuScene::make_transparent(int button)
{
    const std::vector<unsigned char> clear(8 * 8 * 4, 0);
    glBindTexture(GL_TEXTURE_2D, button_tex[button]);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 8, 8, GL_RGBA, GL_UNSIGNED_BYTE, clear.data());
    glBindTexture(GL_TEXTURE_2D, 0);
}

void MenuScene::draw(double t, point_t cursor, double w)
{
    render(test_window(), t, &cursor, hover, button_tex, background_tex, &buttontex, &regtriangle,
           scratch, w);
}

void MenuScene::frame(double t, point_t cursor, double w)
{
    draw(t, cursor, w);
    pixels_.resize((size_t)screen_width * screen_height * 4);
    glReadPixels(0, 0, screen_width, screen_height, GL_RGBA, GL_UNSIGNED_BYTE, pixels_.data());
}

rgba MenuScene::pixel(int x, int y) const
{
    const size_t at = ((size_t)(screen_height - 1 - y) * screen_width + (size_t)x) * 4;
    return {pixels_[at], pixels_[at + 1], pixels_[at + 2], pixels_[at + 3]};
}

screen_xy project_panel_point(double px, double py, double pz, float panel_depth)
{
    // World position under the panel's model transform, then the camera 3.5
    // in front of the origin and the 16:9 perspective.
    const double x = 0.75 * (px - 0.5);
    const double y = 0.75 * (py - 0.5);
    const double z = 0.75 * (pz + (double)panel_depth);
    const double distance = 3.5 - z;
    const double ndc_x = 3.73868537 * x / distance;
    const double ndc_y = 6.64655161 * y / distance;
    return {(ndc_x + 1) / 2 * screen_width, (1 - ndc_y) / 2 * screen_height};
}

screen_rect face_on_screen(int button, float panel_depth)
{
    const double left = button < 4 ? 0.1 : 0.6;
    const double bottom = 0.8 - 0.2 * (button % 4);
    const screen_xy low = project_panel_point(left, bottom, 0.25, panel_depth);
    const screen_xy high = project_panel_point(left + 0.3, bottom + 0.1, 0.25, panel_depth);
    return {low.x, high.x, high.y, low.y};
}

point_t cursor_at(double x, double y)
{
    return {x / screen_width - 0.5, -(y / screen_height - 0.5)};
}
