// Declarations shared by the menu's modules: the plain structures that pass
// between them and one prototype per module function.
#ifndef TARNWICK_H
#define TARNWICK_H

#include <time.h>

#include <glad/gl.h>
#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

// A cursor position in screen fractions: (0, 0) at the centre, x right, y up,
// -0.5 to 0.5 across the screen.
typedef struct {
    double x;
    double y;
} point_t;

// The GL names that belong to one shader program; 0 means none.
typedef struct {
    unsigned int program;
    unsigned int vao;
    unsigned int ebo;
    unsigned int vbo;
    unsigned int ubo_matrices;
    unsigned int ubo_lights;
    unsigned int ubo_materials;
} slpack;

// What main keeps of its window for the callbacks, through the window's user pointer: its size,
// the pointer as the latest event left it (pixels from the top-left corner), and the elapsed time
// of the frame on screen.
typedef struct {
    int size[2];
    double cursor[2];
    double t;
} winstate;

// Hover flags of the frame last drawn; null until the first frame is shown.
extern long* mp;

// tarnwick: the main module.
// Sources of the two programs, one line per element.
extern const char* const buttontex_vertex[29];
extern const char* const buttontex_fragment[39];
extern const char* const regtriangle_vertex[26];
extern const char* const regtriangle_fragment[29];

void framebuffer_size_callback(GLFWwindow* window, int width, int height);
void window_size_callback(GLFWwindow* window, int width, int height);
void window_iconify_callback(GLFWwindow* window, int iconify);
void cursor_pos_callback(GLFWwindow* window, double x, double y);
void key_callback(GLFWwindow* window, int key, int scancode, int action, int mods);
void mouse_button_callback(GLFWwindow* window, int button, int action, int mods);
void GLAPIENTRY glDebugOutput(GLenum source, GLenum type, unsigned int id, GLenum severity,
                              GLsizei length, const char* message, const void* user_param);
int setup_programs(slpack* buttontex, slpack* regtriangle);
int button_inrange(point_t* p, double* rect);
// Seconds on the wall clock since start: the elapsed time of the animation.
double seconds_since(const struct timespec* start);
int render(GLFWwindow* window, double t, point_t* cursor, long* hover, unsigned int* button_tex,
           unsigned int background_tex, slpack* buttontex, slpack* regtriangle, float* scratch,
           double w);

// program_compile, ubosup: shader programs and their uniform buffers.
int program_compile(unsigned int program, long vertex_count, const char* const* vertex_lines,
                    long fragment_count, const char* const* fragment_lines);
unsigned int ubogen(unsigned int program, const char* block_name, long size, unsigned int binding);

// fill_sidequads: the four side walls of one button.
int fill_sidequads(double* out, long count, double* rect);

// Height of a button box above the panel, in panel units: the top of its
// walls and, unless lifted, its face.
constexpr double button_top = 0.25;

// loadtex, flipimg_rgba: raw RGBA16 pictures as textures.
unsigned int loadtex(const char* path, long width, long height);
int flipimg_rgba(long width, long height, unsigned short* image, unsigned short* scratch);

// x11glue: the window system. glfwInit on X11, whatever session is there; a
// round trip that has the X server send every queued event; the window
// following the primary monitor's mode where no window manager does.
int glfw_init_x11();
void x11_sync();
void follow_video_mode(GLFWwindow* window, int* known_mode);

// show_glerror: the name of a glGetError code.
int show_glerror(unsigned int code);

#endif
