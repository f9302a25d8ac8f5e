// The menu drawn offscreen with test pictures, and its callbacks called in-process: what a frame
// shows, how it moves, which button the pointer is on, what a click prints, shader reports.
#include <algorithm>
#include <array>
#include <cmath>
#include <ctime>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

#include "support.h"

namespace {

struct screen {
    int width;
    int height;
};

constexpr screen full_hd = {1920, 1080};
constexpr screen portrait = {1080, 1920};  // a full-HD monitor turned on its side
constexpr screen small = {480, 270};       // quick to draw

// Test pictures: each texel holds its column in red and its row in green, so that a pixel tells
// which part of a picture it shows; blue tells whose picture it is.
constexpr int picture_side = 256;
constexpr int button_count = 8;
constexpr int first_button_blue = 200;  // button n's picture is this blue plus 5 n
constexpr int button_blue_step = 5;
constexpr int background_blue = 0;
constexpr unsigned char opaque = 255;

unsigned int make_picture(int blue)
{
    std::vector<std::array<unsigned char, 4>> texels;
    for (int row = 0; row < picture_side; row++) {
        for (int column = 0; column < picture_side; column++)
            texels.push_back(
                {(unsigned char)column, (unsigned char)row, (unsigned char)blue, opaque});
    }
    unsigned int texture = 0;
    glCreateTextures(GL_TEXTURE_2D, 1, &texture);
    glTextureStorage2D(texture, 1, GL_RGBA8, picture_side, picture_side);
    glTextureSubImage2D(texture, 0, 0, 0, picture_side, picture_side, GL_RGBA, GL_UNSIGNED_BYTE,
                        texels.data());
    return texture;
}

// What a pixel shows: a button's picture (the button's number, 0 to 7), or one of these.
constexpr int background = 8;
constexpr int silver = 9;  // the panel
constexpr int gold = 10;   // the walls of a box
constexpr int things_shown = 11;

struct colour {
    int red;
    int green;
    int blue;
};

int what_shows(colour seen)
{
    if (seen.blue >= first_button_blue)
        return (seen.blue - first_button_blue) / button_blue_step;
    if (seen.blue == background_blue)
        return background;
    if (seen.red == seen.blue)  // grey
        return silver;
    return gold;
}

// The menu's programs, the test pictures, and a framebuffer that holds every screen drawn.
struct menu_objects {
    slpack buttontex = {};
    slpack regtriangle = {};
    unsigned int button_pictures[button_count] = {};
    unsigned int background_picture = 0;
    float scratch[44] = {};  // the four vertex records of one quad
    unsigned int framebuffer = 0;
};

menu_objects& menu()
{
    static menu_objects objects;
    if (objects.framebuffer != 0)
        return objects;
    setup_programs(&objects.buttontex, &objects.regtriangle);
    for (int button = 0; button < button_count; button++) {
        const int blue = first_button_blue + button_blue_step * button;
        objects.button_pictures[button] = make_picture(blue);
    }
    objects.background_picture = make_picture(background_blue);
    unsigned int pixels = 0;
    glCreateTextures(GL_TEXTURE_2D, 1, &pixels);
    glTextureStorage2D(pixels, 1, GL_RGBA8, full_hd.width, portrait.height);
    glCreateFramebuffers(1, &objects.framebuffer);
    glNamedFramebufferTexture(objects.framebuffer, GL_COLOR_ATTACHMENT0, pixels, 0);
    return objects;
}

// A pixel of the screen, counted from the top-left corner as the window system counts.
struct pixel {
    int x;
    int y;
};

// The pointer on the middle of that pixel as the frame loop's cursor point: fractions of the
// screen from its centre, y up.
point_t pointer_on(screen size, pixel spot)
{
    return point_t{(spot.x + 0.5) / size.width - 0.5, 0.5 - (spot.y + 0.5) / size.height};
}

constexpr point_t pointer_away = {NAN, NAN};

long hover[button_count];

// Draws the frame of time t with the pointer there; a hovered button is lifted by half of mix.
// The menu's own resize callback sets the viewport to the screen, the framebuffer's bottom-left:
// every frame read back checks that it does.
void draw(screen size, double t, point_t pointer, double mix)
{
    menu_objects& objects = menu();
    glBindFramebuffer(GL_FRAMEBUFFER, objects.framebuffer);
    framebuffer_size_callback(test_window(), size.width, size.height);
    render(test_window(), t, &pointer, hover, objects.button_pictures, objects.background_picture,
           &objects.buttontex, &objects.regtriangle, objects.scratch, mix);
}

// The buttons a frame draws hovered with the pointer there. Where the pointer is on the screen
// is all that counts, so a small screen, quick to draw, will do.
std::vector<int> hovered_at(double t, point_t pointer)
{
    draw(small, t, pointer, 0);
    std::vector<int> hovered;
    for (int button = 0; button < button_count; button++) {
        if (hover[button] != 0)
            hovered.push_back(button);
    }
    return hovered;
}

// A frame read back.
struct picture {
    screen size;
    std::vector<unsigned char> rgba;  // rows from the bottom up, as GL reads them

    colour at(pixel spot) const
    {
        const size_t row_from_bottom = (size_t)(size.height - 1 - spot.y);
        const unsigned char* texel = &rgba.at(4 * (row_from_bottom * size.width + spot.x));
        return colour{texel[0], texel[1], texel[2]};
    }
    int shows(pixel spot) const { return what_shows(at(spot)); }
};

// The frame of time t drawn and read back; with the pointer away, nothing is lifted.
picture frame_at(screen size, double t, point_t pointer = pointer_away, double mix = 0)
{
    draw(size, t, pointer, mix);
    picture frame = {size, std::vector<unsigned char>(4 * (size_t)size.width * size.height)};
    glReadPixels(0, 0, size.width, size.height, GL_RGBA, GL_UNSIGNED_BYTE, frame.rgba.data());
    return frame;
}

// Pixels from `left` to `right` and `top` to `bottom`, edges included.
struct pixel_area {
    int left;
    int top;
    int right;
    int bottom;
};

bool operator==(const pixel_area& a, const pixel_area& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

pixel centre_of(const pixel_area& area)
{
    return pixel{(area.left + area.right) / 2, (area.top + area.bottom) / 2};
}

// The smallest area around all that shows each thing within `region`: layout[n] is where
// button n's face is drawn.
using layout = std::array<pixel_area, things_shown>;

layout where_each_shows(const picture& frame, pixel_area region)
{
    layout found;
    found.fill(pixel_area{frame.size.width, frame.size.height, -1, -1});
    for (int y = region.top; y <= region.bottom; y++) {
        for (int x = region.left; x <= region.right; x++) {
            pixel_area& area = found[frame.shows(pixel{x, y})];
            area = {std::min(area.left, x), std::min(area.top, y), std::max(area.right, x),
                    std::max(area.bottom, y)};
        }
    }
    return found;
}

layout where_each_shows(const picture& frame)
{
    return where_each_shows(frame, {0, 0, frame.size.width - 1, frame.size.height - 1});
}

// The last pixel of a box as drawn, stepping out from `from` on its face: gold next to a face is
// its box's walls.
pixel last_of_box(const picture& frame, int button, pixel from, pixel step)
{
    pixel last = from;
    while (true) {
        const pixel next = {last.x + step.x, last.y + step.y};
        const int shown = frame.shows(next);
        if (shown != button && shown != gold)
            return last;
        last = next;
    }
}

const char* const button_names[button_count] = {
    "Start", "Coord", "Blank", "Blank", "Observe", "Edit", "Blank", "Quit",
};

std::string pressing_line(int button)
{
    return "Pressing button " + std::to_string(button) + ": " + button_names[button] + "\n";
}

// What a left click prints with the pointer on that pixel and the frame of time t on screen.
std::string click(screen size, double t, pixel spot)
{
    winstate window = {{size.width, size.height}, {spot.x + 0.5, spot.y + 0.5}, t};
    glfwSetWindowUserPointer(test_window(), &window);
    mp = hover;  // a frame has been shown
    const captured printed = capture(
        [] { mouse_button_callback(test_window(), GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS, 0); });
    glfwSetWindowUserPointer(test_window(), nullptr);
    EXPECT_EQ(printed.err, "");
    return printed.out;
}

// The background's drift, in its own units: 0.6 a second from -1 to 1 and back.
constexpr double drift_speed = 0.6;
constexpr double drift_range = 2;
// The picture's 256 texels span the background's 8 units, and one unit of drift moves it 2.
constexpr double texels_per_drift_unit = 64;
// Positions read from the 8-bit colours of a small frame are this exact.
constexpr double reading_error = 0.001;

// Where the background stands across: the average texel column along the top row's middle half.
double background_at(double t)
{
    const picture frame = frame_at(small, t);
    const int row = 2;  // clear of the outermost pixels
    double column = 0;
    for (int x = small.width / 4; x < small.width * 3 / 4; x++)
        column += frame.at({x, row}).red / (small.width / 2.0);
    return column / texels_per_drift_unit;
}

}  // namespace

// A face shows its picture's column 0 on the left and its top row, which loadtex uploads last, on
// top. The background shows its texture's row 0 along its top edge, its column 0 on the left.
TEST(Render, DrawsPicturesUprightAndUnmirrored)
{
    REQUIRE_GL();
    const picture frame = frame_at(full_hd, 0);
    const pixel_area face = where_each_shows(frame)[0];
    const colour top_left = frame.at({face.left, face.top});
    const int blended = 9;  // texels that filtering blends into a corner pixel
    EXPECT_LT(top_left.red, blended) << "column 0 on the left of a button";
    EXPECT_GT(top_left.green, picture_side - 1 - blended) << "top row on top of a button";
    const int quarter_across = full_hd.width / 4;
    const int quarter_down = full_hd.height / 4;
    EXPECT_LT(frame.at({quarter_across, 0}).red, frame.at({3 * quarter_across, 0}).red);
    EXPECT_LT(frame.at({0, quarter_down}).green, frame.at({0, 3 * quarter_down}).green);
}

// The panel breathes in depth with a period of 4/3 s: farthest at 1/3 s, nearest at 1 s.
TEST(Render, PanelBreathesEveryFourThirdsOfASecond)
{
    REQUIRE_GL();
    const int observe = 4;
    const layout at_start = where_each_shows(frame_at(full_hd, 0));
    const pixel_area farthest = where_each_shows(frame_at(full_hd, 1.0 / 3))[observe];
    const pixel_area nearest = where_each_shows(frame_at(full_hd, 1))[observe];
    EXPECT_EQ(where_each_shows(frame_at(full_hd, 2.0 / 3)), at_start);
    EXPECT_EQ(where_each_shows(frame_at(full_hd, 4.0 / 3)), at_start);
    EXPECT_LT(farthest.right, at_start[observe].right);
    EXPECT_GT(nearest.right, at_start[observe].right);
}

// A mix of 0.5 lifts a box by its own height: its base rises to where its face was, and where
// its walls stood, the background shows through its hole in the panel.
TEST(Render, HoveredButtonIsLiftedByHalfTheCursorMixWithItsWalls)
{
    REQUIRE_GL();
    const int start = 0;
    const int beyond = 20;  // pixels past the face, enough to take in the walls
    const picture at_rest = frame_at(full_hd, 0);
    const pixel_area face = where_each_shows(at_rest)[start];
    const pixel middle = centre_of(face);
    const pixel_area across = {face.left - beyond, middle.y, face.right + beyond, middle.y};
    const pixel_area down = {middle.x, face.top - beyond, middle.x, face.bottom + beyond};
    const picture lifted = frame_at(full_hd, 0, pointer_on(full_hd, middle), 0.5);
    for (const pixel_area& line : {across, down}) {
        const pixel_area walls = where_each_shows(at_rest, line)[gold];
        EXPECT_EQ(where_each_shows(lifted, line)[background], walls);
    }
}

// The background moves by the clock, not by the frame: from -1 to 1 and back at 0.6 units a
// second takes 20/3 s at 60 frames a second and at 9, where a frame's step rarely ends on a bound
// and the turn takes up the rest of it. A clock set back an hour holds it still for that frame;
// it drifts on from the next. After a stall it moves no more than a quarter second's worth.
TEST(Render, BackgroundDriftsToBothEndsAndBackAsFastAtAnyFrameRate)
{
    REQUIRE_GL();
    const double round_trip_time = 20.0 / 3;
    double t = 0;
    for (int frames_a_second : {60, 9}) {
        const double frame_time = 1.0 / frames_a_second;
        const double first = background_at(t);
        double lowest = first;
        double highest = first;
        double last = first;
        for (int frame = 1; frame <= round_trip_time * frames_a_second; frame++) {
            last = background_at(t + frame * frame_time);
            lowest = std::min(lowest, last);
            highest = std::max(highest, last);
        }
        t += round_trip_time;
        const double one_frame = drift_speed * frame_time;
        EXPECT_NEAR(highest - lowest, drift_range, one_frame) << frames_a_second << " a second";
        EXPECT_NEAR(last, first, reading_error) << frames_a_second << " a second";
    }
    const double hour = 3600;
    const double frame_time = 1.0 / 60;
    const double before = background_at(t);
    const double set_back = background_at(t - hour);
    EXPECT_NEAR(set_back, before, reading_error) << "the clock set back";
    // The steps below allow for a turn at a bound, wherever earlier frames left the background.
    const double next = background_at(t - hour + frame_time);
    EXPECT_GT(std::abs(next - set_back), reading_error) << "the frame after";
    EXPECT_LE(std::abs(next - set_back), drift_speed * frame_time + reading_error);
    const double after_stall = background_at(t - hour + frame_time + 5);
    EXPECT_LE(std::abs(after_stall - next), drift_speed * 0.25 + reading_error) << "a stall";
}

// The whole box drawn is the button, its face and the walls it shows: at each side of each box
// as drawn, a pointer a pixel inside hovers that button alone and a click there prints its line;
// a pixel two outside hovers nothing and a click prints nothing. A click is judged against the
// frame on screen, here at the breathing's farthest and nearest: judged at another depth, it
// would miss the edges by several pixels.
TEST(Input, HoverAndClicksFollowTheBoxesOnScreenWallsIncluded)
{
    REQUIRE_GL();
    const std::vector<std::pair<screen, double>> frames = {
        {full_hd, 1.0 / 3}, {full_hd, 1}, {portrait, 0}};
    for (const auto& [size, t] : frames) {
        SCOPED_TRACE(testing::Message() << size.width << "x" << size.height << " at " << t << " s");
        const picture on_screen = frame_at(size, t);
        const layout faces = where_each_shows(on_screen);
        for (int button = 0; button < button_count; button++) {
            for (pixel step : {pixel{1, 0}, pixel{-1, 0}, pixel{0, 1}, pixel{0, -1}}) {
                const pixel edge = last_of_box(on_screen, button, centre_of(faces[button]), step);
                const pixel inside = {edge.x - step.x, edge.y - step.y};
                const pixel outside = {edge.x + 2 * step.x, edge.y + 2 * step.y};
                SCOPED_TRACE(testing::Message() << "inside " << inside.x << "," << inside.y);
                EXPECT_EQ(hovered_at(t, pointer_on(size, inside)), std::vector<int>{button});
                EXPECT_EQ(click(size, t, inside), pressing_line(button));
                EXPECT_EQ(hovered_at(t, pointer_on(size, outside)), std::vector<int>{});
                EXPECT_EQ(click(size, t, outside), "");
            }
        }
    }
}

// Of two broken shaders the fragment shader is reported, alone, with the compiler's log.
TEST(Render, BrokenShadersAreReportedOneAtATimeWithTheCompilersLog)
{
    REQUIRE_GL();
    const char* const broken[] = {"#version 410 core\n", "void main() { x; }\n"};
    int result = 0;
    const captured printed =
        capture([&] { result = program_compile(glCreateProgram(), 2, broken, 2, broken); });
    EXPECT_EQ(result, -1);
    const std::string& report = printed.out;
    EXPECT_EQ(report.rfind("Trouble compiling the fragment shader.\nLog length ", 0), 0u) << report;
    const size_t log = report.find("\nLog: ");
    ASSERT_NE(log, std::string::npos) << report;
    EXPECT_NE(report.find('x', log), std::string::npos) << "the log names the culprit";
    EXPECT_EQ(report.find("vertex"), std::string::npos) << report;
}

// Each uniform block of both programs has a buffer bound that holds the whole block as the GL
// lays it out, also once a frame has rewritten them.
TEST(Render, UniformBuffersHoldTheirWholeBlocks)
{
    REQUIRE_GL();
    draw(small, 0, pointer_away, 0);
    const menu_objects& objects = menu();
    for (const slpack* pack : {&objects.buttontex, &objects.regtriangle}) {
        for (const char* block : {"Matrices", "Lights", "Materials"}) {
            const unsigned int index = glGetUniformBlockIndex(pack->program, block);
            int needed = 0;
            int binding = 0;
            glGetActiveUniformBlockiv(pack->program, index, GL_UNIFORM_BLOCK_DATA_SIZE, &needed);
            glGetActiveUniformBlockiv(pack->program, index, GL_UNIFORM_BLOCK_BINDING, &binding);
            int buffer = 0;
            int buffer_size = 0;
            glGetIntegeri_v(GL_UNIFORM_BUFFER_BINDING, (GLuint)binding, &buffer);
            glGetNamedBufferParameteriv((GLuint)buffer, GL_BUFFER_SIZE, &buffer_size);
            EXPECT_GE(buffer_size, needed) << block;
        }
    }
}

// The frame loop's elapsed time counts the nanoseconds: from 9.5 s ago, a slip in them would
// put it a second out.
TEST(Render, AnimationClockCountsSecondsSinceTheStart)
{
    const long one_second = 1000000000;
    timespec start;
    clock_gettime(CLOCK_REALTIME, &start);
    start.tv_sec -= 9;
    start.tv_nsec -= one_second / 2;
    if (start.tv_nsec < 0) {
        start.tv_nsec += one_second;
        start.tv_sec -= 1;
    }
    EXPECT_NEAR(seconds_since(&start), 9.5, 0.2);
}
