// The menu drawn offscreen with test pictures, and its callbacks called in-process: what a frame
// shows, how it moves, which button the pointer is on, what a click prints, keys, shader reports.
#include <algorithm>
#include <array>
#include <cmath>
#include <ctime>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
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
constexpr screen ultra_hd = {3840, 2160};
constexpr screen portrait = {1080, 1920};  // a full-HD monitor turned on its side
constexpr screen small = {480, 270};       // quick to draw, for the many frames of the drift

// ---------------------------------------------------------------------------
// Test pictures. Each texel holds its column in red and its row in green, so that a pixel tells
// which part of a picture it shows; blue tells whose picture it is.

constexpr int picture_side = 256;
constexpr int button_count = 8;
constexpr int first_button_blue = 200;  // button n's picture is this blue plus 5 n
constexpr int button_blue_step = 5;
constexpr int background_blue = 0;
constexpr int opaque = 255;
constexpr int clear = 0;
constexpr int clear_button = 2;  // a Blank: its face shows the lit gold of its box

unsigned int make_picture(int blue, int alpha)
{
    std::vector<unsigned char> texels;
    for (int row = 0; row < picture_side; row++) {
        for (int column = 0; column < picture_side; column++) {
            texels.push_back((unsigned char)column);
            texels.push_back((unsigned char)row);
            texels.push_back((unsigned char)blue);
            texels.push_back((unsigned char)alpha);
        }
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
constexpr int gold = 10;   // the walls of a box, or the face of the clear button
constexpr int things_shown = 11;

struct colour {
    int red;
    int green;
    int blue;
};

bool operator==(const colour& a, const colour& b)
{
    return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

// The lit materials as this GL draws them in the middle of the menu.
constexpr colour lit_gold = {199, 171, 98};
constexpr colour lit_silver = {177, 177, 177};

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

// ---------------------------------------------------------------------------
// Frames.

struct menu_objects {
    slpack buttontex = {};
    slpack regtriangle = {};
    unsigned int button_pictures[button_count] = {};
    unsigned int background_picture = 0;
    float scratch[44] = {};  // the four vertex records of one quad
};

menu_objects& menu()
{
    static menu_objects objects = [] {
        menu_objects made;
        setup_programs(&made.buttontex, &made.regtriangle);
        for (int button = 0; button < button_count; button++) {
            const int alpha = button == clear_button ? clear : opaque;
            made.button_pictures[button] =
                make_picture(first_button_blue + button_blue_step * button, alpha);
        }
        made.background_picture = make_picture(background_blue, opaque);
        return made;
    }();
    return objects;
}

// Binds a framebuffer of that size; the menu's own resize callback sets the viewport.
void use_screen(screen size)
{
    static std::map<std::pair<int, int>, unsigned int> framebuffers;
    unsigned int& framebuffer = framebuffers[{size.width, size.height}];
    if (framebuffer == 0) {
        unsigned int pixels = 0;
        glCreateTextures(GL_TEXTURE_2D, 1, &pixels);
        glTextureStorage2D(pixels, 1, GL_RGBA8, size.width, size.height);
        glCreateFramebuffers(1, &framebuffer);
        glNamedFramebufferTexture(framebuffer, GL_COLOR_ATTACHMENT0, pixels, 0);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    framebuffer_size_callback(test_window(), size.width, size.height);
}

// A pixel of the screen, counted from the top-left corner as the window system counts.
struct pixel {
    int x;
    int y;
};

// The pointer on the middle of that pixel, as the frame loop makes its cursor point: screen
// fractions from the centre, y up.
point_t pointer_on(screen size, pixel spot)
{
    return point_t{(spot.x + 0.5) / size.width - 0.5, 0.5 - (spot.y + 0.5) / size.height};
}

constexpr point_t pointer_away = {NAN, NAN};

long hover[button_count];

// Draws the frame of time t with the pointer there; a hovered button is lifted by half of mix.
void draw(screen size, double t, point_t pointer, double mix)
{
    use_screen(size);
    menu_objects& objects = menu();
    render(test_window(), t, &pointer, hover, objects.button_pictures, objects.background_picture,
           &objects.buttontex, &objects.regtriangle, objects.scratch, mix);
}

// Draws the frame as the frame loop does: the lift follows the cursor mix, 0 at the top-left
// corner of the screen, 1 at the bottom-right.
void draw_as_the_loop_does(screen size, double t, point_t pointer)
{
    draw(size, t, pointer, 0.5 + 0.5 * (pointer.x - pointer.y));
}

std::vector<int> hovered_buttons()
{
    std::vector<int> hovered;
    for (int button = 0; button < button_count; button++) {
        if (hover[button] != 0)
            hovered.push_back(button);
    }
    return hovered;
}

// The buttons hovered in a frame drawn as the frame loop draws it with the pointer there. Where
// the pointer is on the screen is all that counts, so a small screen, quick to draw, will do.
std::vector<int> hovered_at(double t, point_t pointer)
{
    draw_as_the_loop_does(small, t, pointer);
    return hovered_buttons();
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

picture read_frame(screen size)
{
    picture frame = {size, std::vector<unsigned char>(4 * (size_t)size.width * size.height)};
    glReadPixels(0, 0, size.width, size.height, GL_RGBA, GL_UNSIGNED_BYTE, frame.rgba.data());
    return frame;
}

// The frame of time t with the pointer away: nothing lifted.
picture frame_at_rest(screen size, double t)
{
    draw(size, t, pointer_away, 0);
    return read_frame(size);
}

// ---------------------------------------------------------------------------
// Where things are drawn.

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

pixel_area whole(screen size)
{
    return pixel_area{0, 0, size.width - 1, size.height - 1};
}

int width_of(const pixel_area& area)
{
    return area.right - area.left + 1;
}

int height_of(const pixel_area& area)
{
    return area.bottom - area.top + 1;
}

pixel centre_of(const pixel_area& area)
{
    return pixel{(area.left + area.right) / 2, (area.top + area.bottom) / 2};
}

// The smallest area around all that shows each thing within `region`.
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

// Where each button's face is drawn; the clear button's, which shows only gold, lies midway
// between the faces above and below it.
std::array<pixel_area, button_count> faces_in(const picture& frame)
{
    const layout shown = where_each_shows(frame, whole(frame.size));
    std::array<pixel_area, button_count> faces;
    std::copy(shown.begin(), shown.begin() + button_count, faces.begin());
    const pixel_area& above = shown[clear_button - 1];
    const pixel_area& below = shown[clear_button + 1];
    faces[clear_button] = pixel_area{above.left, (above.top + below.top) / 2, above.right,
                                     (above.bottom + below.bottom) / 2};
    return faces;
}

struct direction {
    int x;
    int y;
};

pixel moved(pixel spot, direction way, int steps)
{
    return pixel{spot.x + way.x * steps, spot.y + way.y * steps};
}

// Pointer positions at an edge of a box as drawn: a pixel in from its last pixel that way, and
// two pixels out beyond it. Gold next to a box is its walls.
struct edge_probe {
    pixel inside;
    pixel outside;
};

bool shows_box(const picture& frame, pixel spot, int button)
{
    return frame.shows(spot) == button || frame.shows(spot) == gold;
}

edge_probe probe_edge(const picture& frame, int button, pixel from, direction way)
{
    pixel last = from;
    while (shows_box(frame, moved(last, way, 1), button))
        last = moved(last, way, 1);
    return edge_probe{moved(last, way, -1), moved(last, way, 2)};
}

// A box's edges all round: from the middle of its face out along both axes, and from near each
// corner of the face out diagonally, across the slanted ends of its walls.
std::vector<edge_probe> probe_box(const picture& frame, const pixel_area& face, int button)
{
    const pixel middle = centre_of(face);
    const int in = 3;
    return {
        probe_edge(frame, button, middle, {1, 0}),
        probe_edge(frame, button, middle, {-1, 0}),
        probe_edge(frame, button, middle, {0, 1}),
        probe_edge(frame, button, middle, {0, -1}),
        probe_edge(frame, button, {face.left + in, face.top + in}, {-1, -1}),
        probe_edge(frame, button, {face.right - in, face.top + in}, {1, -1}),
        probe_edge(frame, button, {face.left + in, face.bottom - in}, {-1, 1}),
        probe_edge(frame, button, {face.right - in, face.bottom - in}, {1, 1}),
    };
}

// ---------------------------------------------------------------------------
// Clicks.

const char* const button_names[button_count] = {
    "Start", "Coord", "Blank", "Blank", "Observe", "Edit", "Blank", "Quit",
};

std::string pressing_line(int button)
{
    return "Pressing button " + std::to_string(button) + ": " + button_names[button] + "\n";
}

// What a press of that mouse button prints, with the pointer on that pixel and the frame of
// time t on screen, whose hover flags are `shown` (null before the first frame).
std::string click(screen size, double t, pixel spot, long* shown,
                  int mouse_button = GLFW_MOUSE_BUTTON_LEFT, int action = GLFW_PRESS)
{
    winstate window = {{size.width, size.height}, {spot.x + 0.5, spot.y + 0.5}, t};
    glfwSetWindowUserPointer(test_window(), &window);
    mp = shown;
    const captured printed =
        capture([&] { mouse_button_callback(test_window(), mouse_button, action, 0); });
    glfwSetWindowUserPointer(test_window(), nullptr);
    EXPECT_EQ(printed.err, "");
    return printed.out;
}

// ---------------------------------------------------------------------------
// The background's drift, in its own units: 0.6 a second (0.01 a frame at 60 frames a second)
// from -1 to 1 and back.

constexpr double drift_speed = 0.6;
constexpr double drift_range = 2;
// The picture's 256 texels span the background's 8 units, and one unit of drift moves it 2.
constexpr double texels_per_drift_unit = 64;
// Positions read from the 8-bit colours of a small frame are this exact.
constexpr double reading_error = 0.001;

// Where the background stands: the texel column under the middle half of the top row and the
// texel row under the middle half of the left edge, each an average.
struct background_position {
    double across;
    double up;
};

background_position background_at(double t)
{
    draw(small, t, pointer_away, 0);
    const picture frame = read_frame(small);
    const int edge = 2;  // clear of the outermost pixels
    background_position position = {0, 0};
    for (int x = small.width / 4; x < small.width * 3 / 4; x++)
        position.across += frame.at({x, edge}).red / (small.width / 2.0);
    for (int y = small.height / 4; y < small.height * 3 / 4; y++)
        position.up += frame.at({edge, y}).green / (small.height / 2.0);
    return background_position{position.across / texels_per_drift_unit,
                               position.up / texels_per_drift_unit};
}

background_position distance(background_position from, background_position to)
{
    return background_position{std::abs(to.across - from.across), std::abs(to.up - from.up)};
}

}  // namespace

// ---------------------------------------------------------------------------
// What a frame shows.

TEST(Render, DrawsEachPictureUprightOnItsButtonInTwoColumnsTopToBottom)
{
    REQUIRE_GL();
    const picture frame = frame_at_rest(full_hd, 0);
    const std::array<pixel_area, button_count> faces = faces_in(frame);
    for (int button = 0; button < button_count; button++) {
        const pixel_area& face = faces[button];
        const bool left_column = button < 4;
        EXPECT_EQ(face.right < full_hd.width / 2, left_column) << button;
        EXPECT_EQ(face.left > full_hd.width / 2, !left_column) << button;
        const bool top_row = button % 4 == 0;
        if (!top_row) {
            EXPECT_GT(face.top, faces[button - 1].bottom) << button;
        }
        if (button == clear_button)
            continue;
        EXPECT_NEAR(width_of(face), 3 * height_of(face), 3) << button;
        const colour top_left = frame.at({face.left, face.top});
        const int blended = 9;  // texels that filtering blends into a corner pixel
        const int last_texel = picture_side - 1;
        EXPECT_LT(top_left.red, blended) << "column 0 on the left of button " << button;
        EXPECT_GT(top_left.green, last_texel - blended) << "top row on top of button " << button;
    }
}

// The panel, lit silver, has a gap in the middle of its bottom bar through which the
// background shows; the boxes cover their holes in it.
TEST(Render, DrawsLitGoldAndSilverAndShowsTheBackgroundOnlyThroughTheBottomGap)
{
    REQUIRE_GL();
    const picture frame = frame_at_rest(full_hd, 0);
    const layout shown = where_each_shows(frame, whole(full_hd));
    EXPECT_EQ(frame.at(centre_of(faces_in(frame)[clear_button])), lit_gold);
    EXPECT_EQ(frame.at({shown[silver].left + 9, shown[silver].bottom - 9}), lit_silver);
    const pixel_area gap = where_each_shows(frame, shown[silver])[background];
    const int third_row = 6;
    const int bottom_row = 7;
    EXPECT_GT(gap.top, shown[third_row].bottom);
    EXPECT_GT(gap.bottom, shown[bottom_row].bottom);
    EXPECT_LT(width_of(gap), width_of(shown[0]) / 2);
    EXPECT_NEAR(gap.left + gap.right, full_hd.width - 1, 1) << "centred";
}

// GL's origin is the bottom-left corner: a frame of 1280x720 fills that corner of the
// framebuffer, which still holds 1920x1080.
TEST(Render, DrawingFillsTheWindowAfterAResize)
{
    REQUIRE_GL();
    use_screen(full_hd);
    framebuffer_size_callback(test_window(), 1280, 720);
    menu_objects& objects = menu();
    point_t nowhere = pointer_away;
    render(test_window(), 0, &nowhere, hover, objects.button_pictures, objects.background_picture,
           &objects.buttontex, &objects.regtriangle, objects.scratch, 0);
    const pixel_area drawn = where_each_shows(read_frame(full_hd), whole(full_hd))[background];
    EXPECT_EQ(drawn, (pixel_area{0, full_hd.height - 720, 1279, full_hd.height - 1}));
}

// The texture coordinates put row 0 of the background's texture along its top edge; loadtex
// uploads a picture file's top row last.
TEST(Render, BackgroundShowsItsPictureUnmirroredWithTextureRowZeroOnTop)
{
    REQUIRE_GL();
    const picture frame = frame_at_rest(full_hd, 0);
    const int quarter_across = full_hd.width / 4;
    const int quarter_down = full_hd.height / 4;
    EXPECT_LT(frame.at({quarter_across, 0}).red, frame.at({3 * quarter_across, 0}).red);
    EXPECT_LT(frame.at({0, quarter_down}).green, frame.at({0, 3 * quarter_down}).green);
}

// ---------------------------------------------------------------------------
// How it moves.

// The panel breathes in depth with a period of 4/3 s: farthest at 1/3 s, nearest at 1 s.
TEST(Render, PanelBreathesEveryFourThirdsOfASecond)
{
    REQUIRE_GL();
    const int observe = 4;
    const layout at_start = where_each_shows(frame_at_rest(full_hd, 0), whole(full_hd));
    EXPECT_EQ(where_each_shows(frame_at_rest(full_hd, 2.0 / 3), whole(full_hd)), at_start);
    EXPECT_EQ(where_each_shows(frame_at_rest(full_hd, 4.0 / 3), whole(full_hd)), at_start);
    EXPECT_LT(faces_in(frame_at_rest(full_hd, 1.0 / 3))[observe].right, at_start[observe].right);
    EXPECT_GT(faces_in(frame_at_rest(full_hd, 1))[observe].right, at_start[observe].right);
}

// A hovered button comes towards the viewer by half the mix, in the units of the breathing: a
// mix of 0.2 at the farthest breath (depth 0.15) draws it where the nearest (0.25) does.
TEST(Render, HoveredButtonIsLiftedByHalfTheCursorMix)
{
    REQUIRE_GL();
    const int observe = 4;
    const pixel_area nearest = faces_in(frame_at_rest(full_hd, 1))[observe];
    const pixel_area farthest = faces_in(frame_at_rest(full_hd, 1.0 / 3))[observe];
    draw(full_hd, 1.0 / 3, pointer_on(full_hd, centre_of(farthest)), 0.2);
    EXPECT_EQ(faces_in(read_frame(full_hd))[observe], nearest);
}

// A mix of 0.5 lifts a box by its own height: its base rises to where its face was, and where
// its walls stood, the background shows through its hole in the panel.
TEST(Render, LiftedButtonTakesItsWallsWithIt)
{
    REQUIRE_GL();
    const int start = 0;
    const int quit = 7;
    const int beyond = 20;  // pixels past the face, enough to take in the walls
    const picture at_rest = frame_at_rest(full_hd, 0);
    for (int button : {start, quit}) {
        const pixel_area face = faces_in(at_rest)[button];
        const int third_across = width_of(face) / 3;
        const int third_down = height_of(face) / 3;
        const pixel_area up_and_down = {face.left + third_across, face.top - beyond,
                                        face.right - third_across, face.bottom + beyond};
        const pixel_area side_to_side = {face.left - beyond, face.top + third_down,
                                         face.right + beyond, face.bottom - third_down};
        draw(full_hd, 0, pointer_on(full_hd, centre_of(face)), 0.5);
        const picture lifted = read_frame(full_hd);
        for (const pixel_area& strip : {up_and_down, side_to_side}) {
            const pixel_area walls = where_each_shows(at_rest, strip)[gold];
            EXPECT_EQ(where_each_shows(lifted, strip)[background], walls) << button;
        }
    }
}

// Each frame moves the background by 0.6 units for each second since the frame before, so that
// frames at any rate put it in the same place at the same time. Along each axis one frame a
// second may hold a turn, which moves it less.
TEST(Render, BackgroundDriftsAsFastAtAnyFrameRate)
{
    REQUIRE_GL();
    double t = 1;
    for (int frames_a_second : {60, 144}) {
        const double frame_time = 1.0 / frames_a_second;
        const double one_frame = drift_speed * frame_time;
        int full_moves_across = 0;
        int full_moves_up = 0;
        background_position before = background_at(t);
        for (int frame = 1; frame <= frames_a_second; frame++) {
            const background_position after = background_at(t + frame * frame_time);
            const background_position moved = distance(before, after);
            full_moves_across += std::abs(moved.across - one_frame) < reading_error;
            full_moves_up += std::abs(moved.up - one_frame) < reading_error;
            before = after;
        }
        t += 1;
        EXPECT_GE(full_moves_across, frames_a_second - 1) << frames_a_second << " a second";
        EXPECT_GE(full_moves_up, frames_a_second - 1) << frames_a_second << " a second";
    }
}

// From -1 to 1 and back at 0.6 units a second takes 20/3 s: in that time the background reaches
// both ends of its range and comes back to where it began, at 60 frames a second and at 9, where
// a frame's step rarely ends on a bound and the turn must take up the rest of it.
TEST(Render, BackgroundDriftsToBothEndsOfItsRangeAndBack)
{
    REQUIRE_GL();
    const double round_trip_time = 20.0 / 3;
    double t = 0;
    for (int frames_a_second : {60, 9}) {
        const double frame_time = 1.0 / frames_a_second;
        const background_position first = background_at(t);
        background_position lowest = first;
        background_position highest = first;
        background_position last = first;
        for (int frame = 1; frame <= round_trip_time * frames_a_second; frame++) {
            last = background_at(t + frame * frame_time);
            lowest = {std::min(lowest.across, last.across), std::min(lowest.up, last.up)};
            highest = {std::max(highest.across, last.across), std::max(highest.up, last.up)};
        }
        t += round_trip_time;
        const background_position range = distance(lowest, highest);
        const double one_frame = drift_speed * frame_time;
        EXPECT_NEAR(range.across, drift_range, one_frame) << frames_a_second << " a second";
        EXPECT_NEAR(range.up, drift_range, one_frame) << frames_a_second << " a second";
        const background_position round_trip = distance(first, last);
        EXPECT_NEAR(round_trip.across, 0, reading_error) << frames_a_second << " a second";
        EXPECT_NEAR(round_trip.up, 0, reading_error) << frames_a_second << " a second";
    }
}

// The animation's clock is the wall clock, which may be set. Set back an hour, the background
// holds still for that frame and drifts on from the next; set forward, or after a stall, it
// moves no more than a quarter second's worth. The two axes turn half a second apart: at most
// one of them turns in a frame.
TEST(Render, BackgroundDriftsOnWhenTheClockIsSet)
{
    REQUIRE_GL();
    const double hour = 3600;
    const double frame_time = 1.0 / 60;
    const double t = 10;
    const background_position first = background_at(t);
    const background_position same_time = background_at(t);
    const background_position no_time = distance(first, same_time);
    EXPECT_NEAR(no_time.across + no_time.up, 0, reading_error) << "a frame at the same time";

    const background_position set_back = background_at(t - hour);
    const background_position back = distance(same_time, set_back);
    EXPECT_NEAR(back.across + back.up, 0, reading_error) << "the clock set back";

    const background_position next = background_at(t - hour + frame_time);
    const background_position on = distance(set_back, next);
    EXPECT_NEAR(std::max(on.across, on.up), drift_speed * frame_time, reading_error);

    const background_position after_stall = background_at(t - hour + frame_time + 5);
    const background_position stall = distance(next, after_stall);
    EXPECT_LE(std::max(stall.across, stall.up), drift_speed * 0.25 + reading_error);
}

// ---------------------------------------------------------------------------
// Keys and clicks.

TEST(Input, OnlyAPressOfEscapeClosesTheMenu)
{
    REQUIRE_GL();
    GLFWwindow* window = test_window();
    for (int key : {GLFW_KEY_Q, GLFW_KEY_ESCAPE}) {
        for (int action : {GLFW_RELEASE, GLFW_REPEAT, GLFW_PRESS}) {
            key_callback(window, key, 0, action, 0);
            const bool closes = key == GLFW_KEY_ESCAPE && action == GLFW_PRESS;
            EXPECT_EQ(glfwWindowShouldClose(window), closes) << key << " " << action;
        }
    }
    glfwSetWindowShouldClose(window, GLFW_FALSE);
}

TEST(Input, OnlyALeftPressOnAButtonAfterTheFirstFramePrintsALine)
{
    REQUIRE_GL();
    const int observe = 4;
    const pixel on_observe = centre_of(faces_in(frame_at_rest(full_hd, 0))[observe]);
    long* no_frame_yet = nullptr;
    EXPECT_EQ(click(full_hd, 0, on_observe, no_frame_yet), "");
    EXPECT_EQ(click(full_hd, 0, on_observe, hover, GLFW_MOUSE_BUTTON_RIGHT), "");
    EXPECT_EQ(click(full_hd, 0, on_observe, hover, GLFW_MOUSE_BUTTON_MIDDLE), "");
    EXPECT_EQ(click(full_hd, 0, on_observe, hover, GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE), "");
    EXPECT_EQ(click(full_hd, 0, on_observe, hover), pressing_line(observe));
    const pixel between_columns = {full_hd.width / 2, full_hd.height / 2};
    EXPECT_EQ(click(full_hd, 0, between_columns, hover), "");
}

// The whole box drawn is the button, its face and the walls it shows: around each box's edges
// as drawn, a pointer a pixel inside hovers that button alone and a click there prints its
// line; a pixel two outside hovers nothing and a click prints nothing. So no gold under the
// pointer is ever dead. A click is judged against the frame on screen, here at the breathing's
// farthest and nearest: judged at another depth, it would miss the edges by several pixels.
TEST(Input, HoverAndClicksFollowTheBoxesOnScreenWallsIncluded)
{
    REQUIRE_GL();
    const std::vector<std::pair<screen, double>> frames = {
        {full_hd, 1.0 / 3}, {full_hd, 1}, {ultra_hd, 0}, {portrait, 0}};
    for (const auto& [size, t] : frames) {
        SCOPED_TRACE(testing::Message() << size.width << "x" << size.height << " at " << t << " s");
        const picture on_screen = frame_at_rest(size, t);
        const std::array<pixel_area, button_count> faces = faces_in(on_screen);
        for (int button = 0; button < button_count; button++) {
            for (const edge_probe& probe : probe_box(on_screen, faces[button], button)) {
                SCOPED_TRACE(testing::Message()
                             << "inside " << probe.inside.x << "," << probe.inside.y << ", outside "
                             << probe.outside.x << "," << probe.outside.y);
                const std::vector<int> just_this_one = {button};
                EXPECT_EQ(hovered_at(t, pointer_on(size, probe.inside)), just_this_one);
                EXPECT_EQ(click(size, t, probe.inside, hover), pressing_line(button));
                EXPECT_EQ(hovered_at(t, pointer_on(size, probe.outside)), std::vector<int>{});
                EXPECT_EQ(click(size, t, probe.outside, hover), "");
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Shader reports, uniform buffers and the animation's clock.

// Of two broken shaders the fragment shader is reported, alone, with the compiler's log; a
// broken vertex shader is named.
TEST(Render, BrokenShadersAreReportedOneAtATime)
{
    REQUIRE_GL();
    const char* const broken[] = {"#version 410 core\n", "void main() { x; }\n"};
    const long working_lines = (long)std::size(regtriangle_fragment);
    int result = 0;
    const captured both_broken =
        capture([&] { result = program_compile(glCreateProgram(), 2, broken, 2, broken); });
    EXPECT_EQ(result, -1);
    const std::string& report = both_broken.out;
    EXPECT_EQ(report.rfind("Trouble compiling the fragment shader.\nLog length ", 0), 0u) << report;
    const size_t log = report.find("\nLog: ");
    ASSERT_NE(log, std::string::npos) << report;
    EXPECT_NE(report.find('x', log), std::string::npos) << "the log names the culprit";
    EXPECT_EQ(report.find("vertex"), std::string::npos) << report;

    const captured vertex_broken = capture([&] {
        result = program_compile(glCreateProgram(), 2, broken, working_lines, regtriangle_fragment);
    });
    EXPECT_EQ(result, -1);
    EXPECT_EQ(vertex_broken.out, "Trouble compiling the vertex shader.\n");
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
