// tarnwick: an animated full-screen menu of eight buttons.
// This module holds start-up, the frame loop, the input callbacks, the GL
// debug printer and the per-frame drawing with its constant scene.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <iostream>
#include <string>
#include <unistd.h>

#include "tarnwick.h"

long* mp = nullptr;

// Set once a click line could not be written: nobody behind the menu saw it,
// so the run ends with a failure status.
static bool clicks_lost = false;

// Set while the window is iconified: nothing can be seen, so the menu waits
// for events instead of drawing frames.
static bool iconified = false;

// ---------------------------------------------------------------------------
// Shader sources, one line per element.

const char* const buttontex_vertex[29] = {
    "#version 410 core\n",
    "layout(location = 0) in vec3 aPos;\n",
    "layout(location = 1) in vec3 aNorm;\n",
    "layout(location = 2) in vec3 aColor;\n",
    "layout(location = 3) in vec2 aTexCoord;\n",
    "layout (std140) uniform Matrices {\n",
    "  mat4 proj;\n",
    "  mat4 view;\n",
    "  mat4 model;\n",
    "};\n",
    "layout (std140) uniform Lights {\n",
    "  vec4 lightpos;\n",
    "};\n",
    "out Data {\n",
    "  vec3 normal;\n",
    "  vec3 eye;\n",
    "  vec3 lightDir;\n",
    "  vec2 TexCoord;\n",
    "} DataOut;\n",
    "\n",
    "void main()\n",
    "{\n",
    "    vec4 pos = view * model * vec4(aPos, 1.0);\n",
    "  DataOut.normal = normalize(aNorm);\n",
    "  DataOut.lightDir = vec3(lightpos - pos);\n",
    "  DataOut.eye = vec3(-pos);\n",
    "    gl_Position = proj * view * model * vec4(aPos, 1.0);\n",
    "    DataOut.TexCoord = aTexCoord;\n",
    "}\n",
};

const char* const buttontex_fragment[39] = {
    "#version 410 core\n",
    "layout (std140) uniform Materials {\n",
    "    vec4 diffuse;\n",
    "    vec4 ambient;\n",
    "    vec4 specular;\n",
    "    float shininess;\n",
    "};\n",
    "in Data {\n",
    " vec3 normal;\n",
    " vec3 eye;\n",
    " vec3 lightDir;\n",
    " vec2 TexCoord;\n",
    "} DataIn;\n",
    "\n",
    "uniform sampler2D ourTexture;\n",
    "\n",
    "out vec4 FragColor;\n",
    "\n",
    "void main()\n",
    "{\n",
    "    vec4 spec = vec4(0.0);\n",
    "    vec3 n = normalize(DataIn.normal);\n",
    "    vec3 l = normalize(DataIn.lightDir);\n",
    "    vec3 e = normalize(DataIn.eye);\n",
    "    float intensity = max(dot(n,l), 0.0);\n",
    "    if (intensity > 0.0) {\n",
    "        vec3 h = normalize(l + e);\n",
    "        float intSpec = max(dot(h,n), 0.0);\n",
    "        spec = specular * pow(intSpec, shininess);\n",
    "    }\n",
    "\n",
    "    vec4 texColor = texture(ourTexture, DataIn.TexCoord);\n",
    "    if (texColor.a < 0.5) {\n",
    "       FragColor = max(intensity * diffuse + spec, ambient);\n",
    "    }\n",
    "    else {\n",
    "       FragColor = texColor;\n",
    "    }\n",
    "}\n",
};

const char* const regtriangle_vertex[26] = {
    "#version 410 core\n",
    "layout(location = 0) in vec3 aPos;\n",
    "layout(location = 1) in vec3 aNorm;\n",
    "layout(location = 2) in vec3 aColor;\n",
    "layout (std140) uniform Matrices {\n",
    "  mat4 proj;\n",
    "  mat4 view;\n",
    "  mat4 model;\n",
    "};\n",
    "layout (std140) uniform Lights {\n",
    "  vec4 lightpos;\n",
    "};\n",
    "out Data {\n",
    "  vec3 normal;\n",
    "  vec3 eye;\n",
    "  vec3 lightDir;\n",
    "} DataOut;\n",
    "\n",
    "void main()\n",
    "{\n",
    "    vec4 pos = view * model * vec4(aPos, 1.0);\n",
    "  DataOut.normal = normalize(aNorm);\n",
    "  DataOut.lightDir = vec3(lightpos - pos);\n",
    "  DataOut.eye = vec3(-pos);\n",
    "    gl_Position = proj * view * model * vec4(aPos, 1.0);\n",
    "}\n",
};

const char* const regtriangle_fragment[29] = {
    "#version 410 core\n",
    "layout (std140) uniform Materials {\n",
    "    vec4 diffuse;\n",
    "    vec4 ambient;\n",
    "    vec4 specular;\n",
    "    float shininess;\n",
    "};\n",
    "in Data {\n",
    " vec3 normal;\n",
    " vec3 eye;\n",
    " vec3 lightDir;\n",
    "} DataIn;\n",
    "\n",
    "out vec4 FragColor;\n",
    "\n",
    "void main()\n",
    "{\n",
    "    vec4 spec = vec4(0.0);\n",
    "    vec3 n = normalize(DataIn.normal);\n",
    "    vec3 l = normalize(DataIn.lightDir);\n",
    "    vec3 e = normalize(DataIn.eye);\n",
    "    float intensity = max(dot(n,l), 0.0);\n",
    "    if (intensity > 0.0) {\n",
    "        vec3 h = normalize(l + e);\n",
    "        float intSpec = max(dot(h,n), 0.0);\n",
    "        spec = specular * pow(intSpec, shininess);\n",
    "    }\n",
    "    FragColor = max(intensity * diffuse + spec, ambient);\n",
    "}\n",
};

namespace {

template <typename T, size_t N>
constexpr long count_of(T (&)[N])
{
    return (long)N;
}

// ---------------------------------------------------------------------------
// Buttons: index, printed name and picture file.

constexpr const char* button_names[8] = {
    "Start", "Coord", "Blank", "Blank", "Observe", "Edit", "Blank", "Quit",
};

constexpr char button_files[8][20] = {
    "output_start.rgba", "output_coord.rgba",   "output_blank.rgba", "output_blank.rgba",
    "output_observe.rgba", "output_edit.rgba", "output_blank.rgba", "output_quit.rgba",
};

constexpr const char background_file[] = "output_spinrgb.rgba";
constexpr long button_size = 1024;
constexpr long background_size = 4096;

// ---------------------------------------------------------------------------
// The menu scene, in panel units: the panel is the unit square, z towards the viewer.

// Vertex record: position, normal, colour, texture coordinate.
constexpr int record_floats = 11;
constexpr int record_bytes = record_floats * (int)sizeof(float);
constexpr int quad_bytes = 4 * record_bytes;

// Every frame starts from this quad; draws rewrite only the positions.
constexpr float quad_template[4 * record_floats] = {
    // position         normal     colour     texcoord
     0.1f,  0.1f, 0.0f,  0, 0, 1,   1, 1, 1,   1, 1,
     0.1f, -0.1f, 0.0f,  0, 0, 1,   1, 1, 1,   1, 0,
    -0.1f, -0.1f, 0.0f,  0, 0, 1,   1, 1, 1,   0, 0,
    -0.1f,  0.1f, 0.0f,  0, 0, 1,   1, 1, 1,   0, 1,
};

constexpr unsigned int quad_indices[6] = {0, 1, 3, 1, 2, 3};
constexpr unsigned int triangle_indices[3] = {0, 1, 2};

constexpr double background_quad[12] = {
     1, -1, 0,
     1,  1, 0,
    -1,  1, 0,
    -1, -1, 0,
};

// Corners: right-top, right-bottom, left-bottom, left-top.
constexpr double button_rects[8][12] = {
    {0.4, 0.9, 0,  0.4, 0.8, 0,  0.1, 0.8, 0,  0.1, 0.9, 0},
    {0.4, 0.7, 0,  0.4, 0.6, 0,  0.1, 0.6, 0,  0.1, 0.7, 0},
    {0.4, 0.5, 0,  0.4, 0.4, 0,  0.1, 0.4, 0,  0.1, 0.5, 0},
    {0.4, 0.3, 0,  0.4, 0.2, 0,  0.1, 0.2, 0,  0.1, 0.3, 0},
    {0.9, 0.9, 0,  0.9, 0.8, 0,  0.6, 0.8, 0,  0.6, 0.9, 0},
    {0.9, 0.7, 0,  0.9, 0.6, 0,  0.6, 0.6, 0,  0.6, 0.7, 0},
    {0.9, 0.5, 0,  0.9, 0.4, 0,  0.6, 0.4, 0,  0.6, 0.5, 0},
    {0.9, 0.3, 0,  0.9, 0.2, 0,  0.6, 0.2, 0,  0.6, 0.3, 0},
};

// The panel around the eight button holes, as 26 triangles.
constexpr double panel_triangles[26][9] = {
    {0.1,  0,    0,  0,    1,    0,  0,    0,    0},  // left border
    {0,    1,    0,  0.1,  0,    0,  0.1,  1,    0},
    {0.1,  0.9,  0,  0.9,  1,    0,  0.1,  1,    0},  // top border
    {0.9,  1,    0,  0.1,  0.9,  0,  0.9,  0.9,  0},
    {1,    0,    0,  1,    1,    0,  0.9,  1,    0},  // right border
    {1,    0,    0,  0.9,  1,    0,  0.9,  0,    0},
    {0.1,  0,    0,  0.9,  0.1,  0,  0.1,  0.1,  0},  // bottom border
    {0.9,  0,    0,  0.9,  0.1,  0,  0.1,  0,    0},
    {0.6,  0.8,  0,  0.6,  0.9,  0,  0.4,  0.8,  0},  // between the columns, row by row
    {0.4,  0.9,  0,  0.4,  0.8,  0,  0.6,  0.9,  0},
    {0.6,  0.6,  0,  0.6,  0.7,  0,  0.4,  0.6,  0},
    {0.4,  0.7,  0,  0.4,  0.6,  0,  0.6,  0.7,  0},
    {0.6,  0.4,  0,  0.6,  0.5,  0,  0.4,  0.4,  0},
    {0.4,  0.5,  0,  0.4,  0.4,  0,  0.6,  0.5,  0},
    {0.6,  0.2,  0,  0.6,  0.3,  0,  0.4,  0.2,  0},
    {0.4,  0.3,  0,  0.4,  0.2,  0,  0.6,  0.3,  0},
    {0.9,  0.7,  0,  0.9,  0.8,  0,  0.1,  0.7,  0},  // bars between the rows
    {0.1,  0.7,  0,  0.9,  0.8,  0,  0.1,  0.8,  0},
    {0.9,  0.5,  0,  0.9,  0.6,  0,  0.1,  0.5,  0},
    {0.1,  0.5,  0,  0.9,  0.6,  0,  0.1,  0.6,  0},
    {0.9,  0.3,  0,  0.9,  0.4,  0,  0.1,  0.3,  0},
    {0.1,  0.3,  0,  0.9,  0.4,  0,  0.1,  0.4,  0},
    {0.9,  0.1,  0,  0.9,  0.2,  0,  0.55, 0.1,  0},  // bar below the last row, in two halves
    {0.55, 0.1,  0,  0.9,  0.2,  0,  0.55, 0.2,  0},
    {0.45, 0.1,  0,  0.45, 0.2,  0,  0.1,  0.1,  0},
    {0.1,  0.1,  0,  0.45, 0.2,  0,  0.1,  0.2,  0},
};

constexpr float light_position[4] = {0.8f, 0.75f, 1.5f, 0.0f};

// The "Materials" uniform block, std140.
struct material {
    float diffuse[4];
    float ambient[4];
    float specular[4];
    float shininess;
};
static_assert(sizeof(material) == 52, "Materials block is 52 bytes");

constexpr material gold = {
    {0.24725f, 0.1995f, 0.0745f, 1.0f},
    {0.75164f, 0.60648f, 0.22648f, 0.0f},
    {0.628281f, 0.555802f, 0.366065f, 1.0f},
    0.4f,
};
constexpr material silver = {
    {0.19225f, 0.19225f, 0.19225f, 1.0f},
    {0.50754f, 0.50754f, 0.50754f, 0.0f},
    {0.508273f, 0.508273f, 0.508273f, 1.0f},
    0.4f,
};

// Perspective for 16:9 with x and y negated; the view below negates them back.
constexpr float projection[16] = {
    -3.73868537f, 0, 0, 0,
    0, -6.64655161f, 0, 0,
    0, 0, -1.00100052f, -1,
    0, 0, -0.100050025f, 0,
};

// Look-at from (0, 0.00001, 3.5) towards the origin, up (0, -1, 0).
constexpr float view_skew = 2.85714282e-06f;
constexpr float view[16] = {
    -1, 0, 0, 0,
    0, -1, view_skew, 0,
    0, view_skew, 1, 0,
    0, 0, -3.5f, 1,
};

constexpr float clear_colour[4] = {0.5f, 0.5f, 0.5f, 1.0f};

// The panel's model matrix scales panel units by this.
constexpr double panel_scale = 0.75;

// ---------------------------------------------------------------------------
// Drawing helpers.

void set_position(float* scratch, int slot, const double* xyz, double z_offset)
{
    float* p = scratch + slot * record_floats;
    p[0] = (float)xyz[0];
    p[1] = (float)xyz[1];
    p[2] = (float)(xyz[2] + z_offset);
}

void set_attribute_pointers(int locations)
{
    constexpr int sizes[4] = {3, 3, 3, 2};
    for (int i = 0; i < locations; i++)
        glVertexAttribPointer((GLuint)i, sizes[i], GL_FLOAT, GL_FALSE, record_bytes,
                              (const void*)(uintptr_t)(i * 3 * sizeof(float)));
}

// Streams the scratch quad and draws `count` indices of it with the pack's program.
void draw(const slpack* pack, const float* scratch, int locations, bool set_pointers, int count)
{
    glBindBuffer(GL_ARRAY_BUFFER, pack->vbo);
    glBufferData(GL_ARRAY_BUFFER, quad_bytes, scratch, GL_DYNAMIC_DRAW);
    if (set_pointers)
        set_attribute_pointers(locations);
    glUseProgram(pack->program);
    for (int i = 0; i < locations; i++)
        glEnableVertexAttribArray((GLuint)i);
    glDrawElements(GL_TRIANGLES, count, GL_UNSIGNED_INT, nullptr);
    for (int i = 0; i < locations; i++)
        glDisableVertexAttribArray((GLuint)i);
    glUseProgram(0);
}

// Uniform buffers keep the size ubogen gave them: respecifying one with the
// structure's size would shrink it below its block's.
void upload_material(const slpack* pack, const material* m)
{
    glBindBuffer(GL_UNIFORM_BUFFER, pack->ubo_materials);
    glBufferSubData(GL_UNIFORM_BUFFER, 0, sizeof *m, m);
    glBindBuffer(GL_UNIFORM_BUFFER, 0);
}

void upload_uniforms(const slpack* pack, const material* m, const float* model,
                     const unsigned int* indices, long index_bytes)
{
    glBindBuffer(GL_UNIFORM_BUFFER, pack->ubo_lights);
    glBufferSubData(GL_UNIFORM_BUFFER, 0, sizeof light_position, light_position);
    glBindBuffer(GL_UNIFORM_BUFFER, 0);
    upload_material(pack, m);
    glBindBuffer(GL_UNIFORM_BUFFER, pack->ubo_matrices);
    glBufferSubData(GL_UNIFORM_BUFFER, 0, sizeof projection, projection);
    glBufferSubData(GL_UNIFORM_BUFFER, 64, sizeof view, view);
    glBufferSubData(GL_UNIFORM_BUFFER, 128, 64, model);
    glBindBuffer(GL_UNIFORM_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, pack->ebo);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, index_bytes, indices, GL_STATIC_DRAW);
}

// Scale applied after a translation, column-major: S(s) * T(t).
void scale_translate(float* m, float sx, float sy, float sz, float tx, float ty, float tz)
{
    const float result[16] = {
        sx, 0, 0, 0,
        0, sy, 0, 0,
        0, 0, sz, 0,
        sx * tx, sy * ty, sz * tz, 1,
    };
    memcpy(m, result, sizeof result);
}

// The background drifts along each axis at 0.6 units a second (0.01 a frame at 60 frames a
// second) and turns back at either bound.
constexpr double drift_speed = 0.6;
constexpr double drift_bound = 1.0;
// The most one frame may drift, in seconds: a clock set forward or a menu that stalled must not
// send the background far in one frame.
constexpr double longest_drift_step = 0.25;

// Seconds of drift for a frame drawn at t after one drawn at previous_t (NaN before the first
// frame). A wall clock set back gives none, and the next frame counts from the time set: the
// background neither jumps nor waits for the clock to come back.
double drift_seconds(double previous_t, double t)
{
    const double elapsed = t - previous_t;
    if (std::isnan(elapsed) || elapsed < 0)
        return 0;
    return std::min(elapsed, longest_drift_step);
}

// Moves the background's offset along one axis by `distance` in its direction, turning back
// at a bound by as much as it went past it.
void drift(long* dir, double* offset, double distance)
{
    *offset += *dir == 1 ? distance : -distance;
    if (*offset > drift_bound) {
        *offset = 2 * drift_bound - *offset;
        *dir = -1;
    } else if (*offset < -drift_bound) {
        *offset = -2 * drift_bound - *offset;
        *dir = 1;
    }
}

// Maps the cursor, in screen fractions, onto the plane `height` panel units above the panel at
// that panel depth, in the units button_inrange compares: the depth of that plane in front of
// the eye, then the inverse of projection and view in x and y.
point_t cursor_on_plane(const point_t* cursor, float panel_depth, double height)
{
    const double eye_distance = -(double)view[14];
    const double depth = eye_distance - panel_scale * (height + (double)panel_depth);
    const double x_scale = (double)projection[0] * (double)view[0];
    const double y_scale = (double)projection[5] * (double)view[5];
    return point_t{2 * cursor->x * depth / x_scale, 2 * cursor->y * depth / y_scale};
}

// How far the panel stands out at elapsed time t: it breathes with a period of 4/3 s.
float panel_depth(double t)
{
    return (float)(0.2 - 0.05 * sin(4.71238898038469 * t));
}

// A stretch of the pointer's line of sight, from 0 where it crosses the panel to 1 where it
// crosses the plane of the un-lifted faces.
struct sight_stretch {
    double from;
    double to;
};

constexpr sight_stretch whole_sight = {-HUGE_VAL, HUGE_VAL};
constexpr sight_stretch no_sight = {1, 0};

// Where the line of sight, which crosses the panel at `on_panel` and the face plane at `on_faces`
// along one axis, lies strictly between low and high on that axis.
sight_stretch sight_between(double low, double high, double on_panel, double on_faces)
{
    const double change = on_faces - on_panel;
    if (change == 0)
        return low < on_panel && on_panel < high ? whole_sight : no_sight;
    const double at_low = (low - on_panel) / change;
    const double at_high = (high - on_panel) / change;
    return sight_stretch{std::min(at_low, at_high), std::max(at_low, at_high)};
}

// A panel table value in the units of cursor_on_plane, as the panel model matrix places it.
double placed(double panel_value)
{
    return (panel_value - 0.5) * panel_scale;
}

// Whether the line of sight passes through the box of rect standing un-lifted, between the panel
// and its face: whether the pointer is on the box's face or on a wall drawn beside it.
bool sight_meets_box(point_t on_panel, point_t on_faces, const double* rect)
{
    const sight_stretch across =
        sight_between(placed(rect[6]), placed(rect[0]), on_panel.x, on_faces.x);
    const sight_stretch up =
        sight_between(placed(rect[4]), placed(rect[1]), on_panel.y, on_faces.y);
    return std::max({across.from, up.from, 0.0}) < std::min({across.to, up.to, 1.0});
}

// Sets each button's flag to 1 if a frame at that panel depth draws it under the cursor point,
// else to 0. The frame and the click both ask here, so a click reports what was drawn.
// The whole box drawn is the button, judged as it stands un-lifted: its face as button_inrange
// has always judged it, and the walls it shows beside the face. Every box is drawn so until the
// pointer is on it, so no gold under the pointer is left dead; and the lift that the answer
// brings cannot change the answer, so a still pointer keeps its hover. (A box lifted high may
// leave the pointer over its hole; it stays hovered there.) The boxes stand apart: one at most
// is hovered.
void hit_test(const point_t* cursor, float depth, long* flags)
{
    point_t on_faces = cursor_on_plane(cursor, depth, button_top);
    const point_t on_panel = cursor_on_plane(cursor, depth, 0);
    for (int i = 0; i < 8; i++) {
        // The module functions take plain pointers; they only read the rectangle.
        double* rect = const_cast<double*>(button_rects[i]);
        flags[i] = button_inrange(&on_faces, rect) || sight_meets_box(on_panel, on_faces, rect);
    }
}

// The cursor point of the pointer at (x, y), pixels from the top-left corner of a window of
// that size.
point_t cursor_point(const int* size, double x, double y)
{
    return point_t{x / (double)size[0] - 0.5, -(y / (double)size[1] - 0.5)};
}

}  // namespace

// ---------------------------------------------------------------------------
// Input.

void framebuffer_size_callback(GLFWwindow* window, int width, int height)
{
    (void)window;
    glViewport(0, 0, width, height);
}

// Keeps main's record of the window's size, against which the cursor is
// measured: the window may be resized after start-up, and asking the X server
// for its size every frame would cost a round trip a frame.
void window_size_callback(GLFWwindow* window, int width, int height)
{
    winstate* ws = static_cast<winstate*>(glfwGetWindowUserPointer(window));
    ws->size[0] = width;
    ws->size[1] = height;
}

// The pointer as each event leaves it, in order: a click is judged where it was made, even when
// the menu could not draw while the pointer moved on.
void cursor_pos_callback(GLFWwindow* window, double x, double y)
{
    winstate* ws = static_cast<winstate*>(glfwGetWindowUserPointer(window));
    ws->cursor[0] = x;
    ws->cursor[1] = y;
}

void window_iconify_callback(GLFWwindow* window, int iconify)
{
    (void)window;
    iconified = iconify != 0;
}

void key_callback(GLFWwindow* window, int key, int scancode, int action, int mods)
{
    (void)scancode;
    (void)mods;
    if (key == GLFW_KEY_ESCAPE && action == GLFW_PRESS)
        glfwSetWindowShouldClose(window, GLFW_TRUE);
}

// Reports the button drawn under the pointer where the click was made, in the frame on screen.
// Not the hover flags: clicks queued while the menu could not draw all came after one frame.
void mouse_button_callback(GLFWwindow* window, int button, int action, int mods)
{
    (void)mods;
    if (button != GLFW_MOUSE_BUTTON_LEFT || action != GLFW_PRESS)
        return;
    if (!mp)  // no frame shown yet: a click on the black screen chose nothing
        return;
    const winstate* ws = static_cast<winstate*>(glfwGetWindowUserPointer(window));
    const point_t at = cursor_point(ws->size, ws->cursor[0], ws->cursor[1]);
    long chosen[8];
    hit_test(&at, panel_depth(ws->t), chosen);
    clearerr(stdout);  // only this click's lines count
    for (long i = 0; i < 8; i++) {
        if (chosen[i] != 0)
            printf("Pressing button %ld: %s\n", i, button_names[i]);
    }
    // The application behind the menu acts on these lines: hand them over now,
    // not when a pipe's buffer happens to fill or the menu exits.
    if ((fflush(stdout) != 0 || ferror(stdout)) && !clicks_lost) {
        clicks_lost = true;
        fprintf(stderr, "%s: Cannot report clicks on standard output: %s\n", __func__,
                strerror(errno));
    }
}

// ---------------------------------------------------------------------------
// GL debug messages.

namespace {

struct label {
    GLenum value;
    const char* text;
};

constexpr label debug_sources[] = {
    {GL_DEBUG_SOURCE_API,             "Source: API"},
    {GL_DEBUG_SOURCE_WINDOW_SYSTEM,   "Source: Window System"},
    {GL_DEBUG_SOURCE_SHADER_COMPILER, "Source: Shader Compiler"},
    {GL_DEBUG_SOURCE_THIRD_PARTY,     "Source: Third Party"},
    {GL_DEBUG_SOURCE_APPLICATION,     "Source: Application"},
    {GL_DEBUG_SOURCE_OTHER,           "Source: Other"},
};

constexpr label debug_types[] = {
    {GL_DEBUG_TYPE_ERROR,               "Type: Error"},
    {GL_DEBUG_TYPE_DEPRECATED_BEHAVIOR, "Type: Deprecated Behaviour"},
    {GL_DEBUG_TYPE_UNDEFINED_BEHAVIOR,  "Type: Undefined Behaviour"},
    {GL_DEBUG_TYPE_PORTABILITY,         "Type: Portability"},
    {GL_DEBUG_TYPE_PERFORMANCE,         "Type: Performance"},
    {GL_DEBUG_TYPE_OTHER,               "Type: Other"},
    {GL_DEBUG_TYPE_MARKER,              "Type: Marker"},
    {GL_DEBUG_TYPE_PUSH_GROUP,          "Type: Push Group"},
    {GL_DEBUG_TYPE_POP_GROUP,           "Type: Pop Group"},
};

constexpr label debug_severities[] = {
    {GL_DEBUG_SEVERITY_HIGH,         "Severity: high"},
    {GL_DEBUG_SEVERITY_MEDIUM,       "Severity: medium"},
    {GL_DEBUG_SEVERITY_LOW,          "Severity: low"},
    {GL_DEBUG_SEVERITY_NOTIFICATION, "Severity: notification"},
};

// Ids of messages too noisy to be worth a line.
constexpr unsigned int dropped_ids[] = {131169, 131185, 131204, 131218};

template <size_t N>
void print_label(const label (&table)[N], GLenum value)
{
    for (const label& l : table) {
        if (l.value == value) {
            std::cout << l.text;
            break;
        }
    }
    std::cout << std::endl;
}

}  // namespace

void GLAPIENTRY glDebugOutput(GLenum source, GLenum type, unsigned int id, GLenum severity,
                              GLsizei length, const char* message, const void* user_param)
{
    (void)length;
    (void)user_param;
    for (unsigned int dropped : dropped_ids) {
        if (id == dropped)
            return;
    }
    std::cout << "---------------" << std::endl;
    std::cout << "Debug message (" << id << "): " << message << std::endl;
    print_label(debug_sources, source);
    print_label(debug_types, type);
    print_label(debug_severities, severity);
    std::cout << std::endl;
}

// ---------------------------------------------------------------------------
// The frame.

// rect holds four corners: right-top, right-bottom, left-bottom, left-top.
// Open on the left and bottom, closed on the right and top.
int button_inrange(point_t* p, double* rect)
{
    return p->x > (rect[6] - 0.5) * 0.75 && p->y > (rect[4] - 0.5) * 0.75 &&
           (rect[0] - 0.5) * 0.75 >= p->x && (rect[1] - 0.5) * 0.75 >= p->y;
}

int render(GLFWwindow* window, double t, point_t* cursor, long* hover, unsigned int* button_tex,
           unsigned int background_tex, slpack* buttontex, slpack* regtriangle, float* scratch,
           double w)
{
    (void)window;
    static long bg_dir[2] = {1, 1};
    static double bg_bounce[2] = {0.2, 0.5};
    static double bg_t = NAN;  // the time of the frame drawn before

    const double lift = 0.5 * w;
    const float depth = panel_depth(t);
    material gold_now = gold;
    gold_now.shininess *= 128;
    material silver_now = silver;
    silver_now.shininess *= 128;
    double walls[48];

    glClearColor(clear_colour[0], clear_colour[1], clear_colour[2], clear_colour[3]);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    memcpy(scratch, quad_template, sizeof quad_template);
    // The drift follows the clock, not the frame count: the same speed at any refresh rate.
    const double drift_distance = drift_speed * drift_seconds(bg_t, t);
    bg_t = t;
    drift(&bg_dir[0], &bg_bounce[0], drift_distance);
    drift(&bg_dir[1], &bg_bounce[1], drift_distance);
    float background_model[16];
    scale_translate(background_model, 4, 4, 2, (float)(0.5 * bg_bounce[0]),
                    (float)(0.5 * bg_bounce[1]), -2);

    // Background.
    glBindVertexArray(buttontex->vao);
    upload_uniforms(buttontex, &gold_now, background_model, quad_indices, sizeof quad_indices);
    glBindTexture(GL_TEXTURE_2D, background_tex);
    for (int slot = 0; slot < 4; slot++)
        set_position(scratch, slot, background_quad + 3 * slot, 0);
    draw(buttontex, scratch, 4, true, 6);
    glBindVertexArray(0);

    float panel_model[16];
    const float scale = (float)panel_scale;
    scale_translate(panel_model, scale, scale, scale, -0.5f, -0.5f, depth);

    // Panel.
    glBindVertexArray(regtriangle->vao);
    upload_uniforms(regtriangle, &silver_now, panel_model, triangle_indices,
                    sizeof triangle_indices);
    for (const auto& triangle : panel_triangles) {
        for (int slot = 0; slot < 3; slot++)
            set_position(scratch, slot, triangle + 3 * slot, 0);
        draw(regtriangle, scratch, 3, true, 3);
    }

    // Button walls: same program and vertex array as the panel.
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, regtriangle->ebo);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof quad_indices, quad_indices, GL_STATIC_DRAW);
    set_attribute_pointers(3);
    upload_material(regtriangle, &gold_now);
    hit_test(cursor, depth, hover);
    for (int i = 0; i < 8; i++) {
        double* rect = const_cast<double*>(button_rects[i]);
        fill_sidequads(walls, 4, rect);
        for (int quad = 0; quad < 4; quad++) {
            for (int slot = 0; slot < 4; slot++)
                set_position(scratch, slot, walls + 12 * quad + 3 * slot, (double)hover[i] * lift);
            draw(regtriangle, scratch, 3, false, 6);
        }
    }

    // Button faces.
    glBindVertexArray(buttontex->vao);
    upload_uniforms(buttontex, &gold_now, panel_model, quad_indices, sizeof quad_indices);
    for (int i = 0; i < 8; i++) {
        double* rect = const_cast<double*>(button_rects[i]);
        glBindTexture(GL_TEXTURE_2D, button_tex[i]);
        for (int slot = 0; slot < 4; slot++)
            set_position(scratch, slot, rect + 3 * slot, button_top + (double)hover[i] * lift);
        draw(buttontex, scratch, 4, true, 6);
    }
    glBindVertexArray(0);
    return 0;
}

// ---------------------------------------------------------------------------
// Start-up, frame loop and teardown.

// The animation's clock is the wall clock: setting the system clock moves the breathing with it.
double seconds_since(const struct timespec* start)
{
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return (double)(now.tv_sec - start->tv_sec) - (double)start->tv_nsec / 1e9 +
           (double)now.tv_nsec / 1e9;
}

namespace {

void print_gl_implementation()
{
    int major = 0, minor = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    printf("OpenGL version %d.%d\n", major, minor);
    printf("Vendor graphic card: %s\n", (const char*)glGetString(GL_VENDOR));
    printf("Renderer: %s\n", (const char*)glGetString(GL_RENDERER));
    printf("Version GL: %s\n", (const char*)glGetString(GL_VERSION));
    printf("Version GLSL: %s\n", (const char*)glGetString(GL_SHADING_LANGUAGE_VERSION));
}

void enable_debug_output()
{
    int flags = 0;
    glGetIntegerv(GL_CONTEXT_FLAGS, &flags);
    if (!(flags & GL_CONTEXT_FLAG_DEBUG_BIT))
        return;
    glEnable(GL_DEBUG_OUTPUT);
    glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
    glDebugMessageCallback(glDebugOutput, nullptr);
    glDebugMessageControl(GL_DEBUG_SOURCE_API, GL_DEBUG_TYPE_ERROR, GL_DEBUG_SEVERITY_HIGH, 0,
                          nullptr, GL_TRUE);
    puts("Debugging has been enabled.");
}

void generate_pack_objects(slpack* pack)
{
    glGenVertexArrays(1, &pack->vao);
    glGenBuffers(1, &pack->vbo);
    glGenBuffers(1, &pack->ebo);
}

void delete_pack_objects(slpack* pack)
{
    glDeleteVertexArrays(1, &pack->vao);
    glDeleteBuffers(1, &pack->vbo);
    glDeleteBuffers(1, &pack->ebo);
}

// One block of both programs gets its buffers; both are made before either is checked,
// so a failure reports both programs' lines.
bool bind_block(slpack* regtriangle, slpack* buttontex, const char* title, const char* block,
                long size, unsigned int binding, unsigned int slpack::*field)
{
    puts(title);
    regtriangle->*field = ubogen(regtriangle->program, block, size, binding);
    buttontex->*field = ubogen(buttontex->program, block, size, binding + 1);
    if (regtriangle->*field == 0 || buttontex->*field == 0) {
        puts("FAIL");
        return false;
    }
    return true;
}

// Descriptors 0 to 2 are taken before anything opens a file or the X
// connection: with standard output closed, that connection would become
// descriptor 1 and printed lines would be written into it.
void open_standard_descriptors()
{
    int fd = open("/dev/null", O_RDWR);
    while (fd >= 0 && fd <= STDERR_FILENO)
        fd = open("/dev/null", O_RDWR);
    if (fd > STDERR_FILENO)
        close(fd);
}

// The code of GLFW's latest error: a window that cannot be made says why by it.
int last_glfw_error = GLFW_NO_ERROR;

void error_callback(int code, const char* description)
{
    last_glfw_error = code;
    fprintf(stderr, "GLFW: %s\n", description);
}

// The newest core-profile GL this driver offers, learnt from a hidden window made and dropped
// at once: asked for the oldest core profile (3.2), drivers give their newest. Empty if not
// even that can be made.
std::string offered_gl_version()
{
    glfwSetErrorCallback(nullptr);  // the reason was told already
    glfwDefaultWindowHints();
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 2);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    GLFWwindow* probe = glfwCreateWindow(1, 1, "tarnwick", nullptr, nullptr);
    std::string version;
    if (probe) {
        glfwMakeContextCurrent(probe);
        using get_string_t = const GLubyte* (*)(GLenum);
        auto get_string = reinterpret_cast<get_string_t>(glfwGetProcAddress("glGetString"));
        const GLubyte* text = get_string ? get_string(GL_VERSION) : nullptr;
        if (text)
            version = reinterpret_cast<const char*>(text);
        glfwDestroyWindow(probe);
    }
    glfwSetErrorCallback(error_callback);
    return version;
}

// GLFW's reason for a missing context is in the driver's words; this says what the menu
// needs and where to look.
void explain_missing_gl_version()
{
    const std::string offered = offered_gl_version();
    fprintf(stderr,
            "main: The menu needs OpenGL 4.5 in the core profile, which the driver does not "
            "give%s%s%s. See what it offers with glxinfo -B; with Mesa, install libgl1-mesa-dri "
            "or try LIBGL_ALWAYS_SOFTWARE=1.\n",
            offered.empty() ? "" : " (it offers OpenGL ", offered.c_str(),
            offered.empty() ? "" : ")");
}

}  // namespace

// Makes both programs with their vertex arrays, buffers and uniform buffers,
// printing each step; -1 after printing why one failed.
int setup_programs(slpack* buttontex, slpack* regtriangle)
{
    generate_pack_objects(buttontex);
    generate_pack_objects(regtriangle);
    puts("Compiling buttontex GLSL.");
    buttontex->program = glCreateProgram();
    if (program_compile(buttontex->program, count_of(buttontex_vertex), buttontex_vertex,
                        count_of(buttontex_fragment), buttontex_fragment) == -1) {
        puts("Trouble compiling texshader.");
        return -1;
    }
    puts("Compiling regtriangle GLSL.");
    regtriangle->program = glCreateProgram();
    if (program_compile(regtriangle->program, count_of(regtriangle_vertex), regtriangle_vertex,
                        count_of(regtriangle_fragment), regtriangle_fragment) == -1) {
        puts("Trouble compiling regshader.");
        return -1;
    }
    if (!bind_block(regtriangle, buttontex, "Binding to GLSL Lights", "Lights", 16, 0,
                    &slpack::ubo_lights) ||
        !bind_block(regtriangle, buttontex, "Binding to GLSL Materials", "Materials", 52, 2,
                    &slpack::ubo_materials) ||
        !bind_block(regtriangle, buttontex, "Binding to GLSL Matrices.", "Matrices", 192, 4,
                    &slpack::ubo_matrices))
        return -1;
    return 0;
}

int main()
{
    open_standard_descriptors();
    // A reader that goes away must not kill the menu silently: a click line
    // that cannot be written is reported instead.
    signal(SIGPIPE, SIG_IGN);
    // Whoever reads the menu through a pipe or file sees each line when it is written.
    setvbuf(stdout, nullptr, _IOLBF, 0);
    glfwSetErrorCallback(error_callback);
    printf("Compiled against GLFW %i.%i.%i\n", GLFW_VERSION_MAJOR, GLFW_VERSION_MINOR,
           GLFW_VERSION_REVISION);
    if (!glfw_init_x11()) {
        fprintf(stderr, "%s: Trouble initializing glfw.\n", __func__);
        return -1;
    }
    glfwWindowHint(GLFW_DECORATED, GLFW_FALSE);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 5);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_OPENGL_DEBUG_CONTEXT, GLFW_TRUE);
    // Another window taking the focus must not hide the menu: it stays full
    // screen beneath and is there again when that window closes.
    glfwWindowHint(GLFW_AUTO_ICONIFY, GLFW_FALSE);
    // The pointer stays where the user left it. Were GLFW to warp it to the centre, it would
    // take any later motion event that lands on the centre for its own warp and drop it, and a
    // click there would be judged where the pointer was before.
    glfwWindowHint(GLFW_CENTER_CURSOR, GLFW_FALSE);

    GLFWmonitor* monitor = glfwGetPrimaryMonitor();
    if (!monitor) {
        puts("Trouble with call to glfwGetPrimaryMonitor.");
        return -1;
    }
    const GLFWvidmode* mode = glfwGetVideoMode(monitor);
    if (!mode) {
        puts("Trouble with call to glfwGetVideoMode.");
        return -1;
    }
    printf("Detected vidmode %dx%d\n", mode->width, mode->height);
    const int screen_width = mode->width;
    const int screen_height = mode->height;
    printf("Setting resolution to %ldx%ld\n", (long)screen_width, (long)screen_height);

    GLFWwindow* window = glfwCreateWindow(screen_width, screen_height, "tarnwick", monitor, nullptr);
    if (!window) {
        puts("Trouble with call to glfwCreateWindow");
        if (last_glfw_error == GLFW_VERSION_UNAVAILABLE)
            explain_missing_gl_version();
        return -1;
    }
    // Without a window manager the keyboard focus stays wherever it was, on
    // another window or monitor, and Escape would not reach the menu.
    glfwFocusWindow(window);
    glfwMakeContextCurrent(window);
    glfwSwapInterval(1);  // one frame per refresh: no frames drawn that no one sees
    glfwSetFramebufferSizeCallback(window, framebuffer_size_callback);
    if (!gladLoadGL(glfwGetProcAddress)) {
        puts("Failed to initialize OpenGL context");
        return -1;
    }
    winstate ws = {{screen_width, screen_height}, {0, 0}, 0};
    glfwSetWindowUserPointer(window, &ws);
    glfwSetWindowSizeCallback(window, window_size_callback);
    glfwSetCursorPosCallback(window, cursor_pos_callback);
    glfwSetWindowIconifyCallback(window, window_iconify_callback);
    glfwSetKeyCallback(window, key_callback);
    glfwSetMouseButtonCallback(window, mouse_button_callback);

    fprintf(stderr, "%s: Preparing OpenGL primitives.\n", __func__);
    print_gl_implementation();
    enable_debug_output();

    slpack buttontex = {};
    slpack regtriangle = {};
    float* scratch = new float[4 * record_floats];
    if (setup_programs(&buttontex, &regtriangle) == -1)
        return -1;

    // A picture that fails to load leaves texture 0 in its place; the menu still runs.
    unsigned int button_tex[8];
    puts("Generating button textures.");
    for (int slot = 0; slot < 8; slot++)
        button_tex[slot] = loadtex(button_files[slot], button_size, button_size);
    puts("Generating background texture.");
    unsigned int background_tex = loadtex(background_file, background_size, background_size);

    fprintf(stderr, "%s: Starting render loop.\n", __func__);
    timespec start;
    clock_gettime(CLOCK_REALTIME, &start);
    long hover[8] = {0};
    point_t cursor;
    int video_mode[2] = {screen_width, screen_height};
    // The menu's own periodic work keeps the steady clock: setting the wall clock back must not
    // hold it up.
    double next_mode_check = glfwGetTime() + 1;
    // Where the pointer is until an event says it moved.
    glfwGetCursorPos(window, &ws.cursor[0], &ws.cursor[1]);
    // Clicks made on the black screen while the pictures loaded are handed
    // over now, while mp is still null: they chose nothing. The round trip
    // makes sure that the X server has sent every one of them.
    x11_sync();
    glfwPollEvents();
    mp = hover;

    while (!glfwWindowShouldClose(window)) {
        if (iconified) {
            glfwWaitEvents();
            continue;
        }
        const double t = seconds_since(&start);
        // Asking for the mode costs round trips to the X server: once a second, not every frame.
        const double now = glfwGetTime();
        if (now >= next_mode_check) {
            next_mode_check = now + 1;
            follow_video_mode(window, video_mode);
        }
        // Where the events left the pointer: the lift drawn and the clicks judged agree.
        cursor = cursor_point(ws.size, ws.cursor[0], ws.cursor[1]);
        const double w = 0.5 + 0.5 * (cursor.x - cursor.y);  // 0 top left, 1 bottom right
        render(window, t, &cursor, hover, button_tex, background_tex, &buttontex, &regtriangle,
               scratch, w);
        glfwSwapBuffers(window);
        ws.t = t;  // the frame on screen, against which the clicks now delivered are judged
        glfwPollEvents();
    }

    delete_pack_objects(&buttontex);
    delete_pack_objects(&regtriangle);
    glDeleteProgram(buttontex.program);
    glDeleteProgram(regtriangle.program);
    glfwTerminate();
    delete[] scratch;
    return clicks_lost ? 1 : 0;
}
