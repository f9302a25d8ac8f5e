// The real menu on the test display, driven with real X events: what it
// prints, how it ends, and how it copes with odd surroundings.
#include <gtest/gtest.h>
#include <png.h>
#include <set>
#include <sstream>

#include "support.h"

namespace {

const std::string menu = TARNWICK_BINARY;
const std::string observe = "mousemove $(button_at 4 1920 1080) sleep 0.5 click 1 sleep 0.3 ";
const std::string ready = "main: Starting render loop.\n";
// For runs through scripts, whose shells must not carry the sanitizer runtime:
// without its preloads the GL driver's leaks cannot be told from ours, so the
// leak check is left to the menu's direct runs.
const std::vector<std::string> through_scripts = {"LD_PRELOAD=", "ASAN_OPTIONS=detect_leaks=0"};

// Compares line by line; an expected line ending in '*' matches any line with that prefix.
void expect_lines(const std::string& text, const std::vector<std::string>& expected)
{
    std::istringstream lines(text);
    std::string line;
    for (const std::string& e : expected) {
        std::getline(lines, line);
        EXPECT_EQ(line.substr(0, e.back() == '*' ? e.size() - 1 : std::string::npos), e.substr(0, e.find('*'))) << text;
    }
    EXPECT_FALSE(std::getline(lines, line)) << "more lines than expected:\n" << text;
}

// The default pictures, made once for the tests that need them.
const std::string& default_pictures()
{
    static TempDir dir;
    static bool made = run_script(RGBATOOL_BINARY " defaults " + dir.path);
    EXPECT_TRUE(made);
    return dir.path;
}

}  // namespace

// Each start-up line is on its stream as soon as it is printed, a missing
// picture is reported and the menu runs on, a click line arrives while the
// menu runs, other clicks print nothing, and Escape ends the run with 0.
TEST(Menu, StartsReportsClicksAndEndsOnEscape)
{
    TempDir cwd;
    Child run({menu}, {}, cwd.path);
    ASSERT_TRUE(run.wait_for_err(ready)) << run.err();
    std::vector<std::string> out = {
        "Compiled against GLFW *", "Detected vidmode 1920x1080", "Setting resolution to 1920x1080",
        "OpenGL version 4.5", "Vendor graphic card: *", "Renderer: *", "Version GL: *", "Version GLSL: *",
        "Debugging has been enabled.", "Compiling buttontex GLSL.", "Compiling regtriangle GLSL.",
        "Binding to GLSL Lights", "Binding to GLSL Materials", "Binding to GLSL Matrices.",
        "Generating button textures."};
    for (const char* name : {"start", "coord", "blank", "blank", "observe", "edit", "blank", "quit"})
        out.push_back("Reading output_" + std::string(name) + ".rgba graphic.");
    out.insert(out.end(), {"Generating background texture.", "Reading output_spinrgb.rgba graphic."});
    expect_lines(run.out(), out);

    ASSERT_TRUE(run_script("xdotool mousemove 960 540 sleep 0.5 click 1 " + observe + "click 3"));
    EXPECT_TRUE(run.wait_for_out("Pressing button 4: Observe\n", 10));
    ASSERT_TRUE(run_script("xdotool key Escape"));
    EXPECT_EQ(run.wait(), 0);
    out.push_back("Pressing button 4: Observe");
    expect_lines(run.out(), out);
    std::vector<std::string> err(9, "open: No such file or directory");
    err.insert(err.begin(), "main: Preparing OpenGL primitives.");
    err.push_back("main: Starting render loop.");
    expect_lines(run.err(), err);
}

// A start that fails gives GLFW's own reason next to the menu's line, and status 255.
TEST(Menu, FailedStartsSayWhy)
{
    const struct { std::vector<std::string> env, err; std::string last_out; } cases[] = {
        {{"DISPLAY=", "WAYLAND_DISPLAY="}, {"GLFW: *", "main: Trouble initializing glfw."}, "Compiled against GLFW *"},
        {{"MESA_GL_VERSION_OVERRIDE=3.3"}, {"GLFW: *"}, "Trouble with call to glfwCreateWindow"},
    };
    for (const auto& c : cases) {
        TempDir cwd;
        Child run({menu}, c.env, cwd.path);
        EXPECT_EQ(run.wait(), 255) << c.last_out;
        expect_lines(run.err(), c.err);
        const std::string out = run.out();
        expect_lines(out.substr(out.rfind('\n', out.size() - 2) + 1), {c.last_out});
    }
}

// Hostile surroundings: a closed or unwritable standard output, a resized
// window and an unpaced driver; each case ends with Escape.
TEST(Menu, KeepsWorkingInOddSurroundings)
{
    const std::string preload = (getenv("LD_PRELOAD") ? getenv("LD_PRELOAD") + std::string(":") : "") + SWAPINTERVAL_LIBRARY;
    const struct { std::string out, actions, env; int status; std::string out_end, err_once; } cases[] = {
        // Standard output closed: no printed line may reach the X connection.
        {"closed", observe, "", 0, "", ready},
        // Click lines that cannot be written are reported once, and the run fails.
        {"/dev/full", observe + observe, "", 1, "", "mouse_button_callback: Cannot report clicks on standard output: No space left on device\n"},
        // The cursor is measured against the window's present size.
        {"", "search --name ^tarnwick$ windowsize %1 1280 720 sleep 0.5 mousemove $(button_at 4 1280 720) "
             "sleep 0.5 click 1 sleep 0.3 ", "", 0,
         "Reading output_spinrgb.rgba graphic.\nPressing button 4: Observe\n", ready},
        // Frames are paced by the display's refresh.
        {"", "", "LD_PRELOAD=" + preload, 0, "", "swap interval 1\n"},
    };
    for (const auto& c : cases) {
        TempDir cwd;
        Child run({menu}, {c.env}, cwd.path, c.out);
        ASSERT_TRUE(run.wait_for_err(ready)) << run.err();
        ASSERT_TRUE(run_script("xdotool " + c.actions + "key Escape"));
        EXPECT_EQ(run.wait(60), c.status) << c.out << c.actions;
        const std::string out = run.out(), err = run.err();
        EXPECT_EQ(out.substr(out.size() - std::min(out.size(), c.out_end.size())), c.out_end) << c.actions;
        const size_t first = err.find(c.err_once);
        EXPECT_TRUE(first != std::string::npos && err.find(c.err_once, first + 1) == std::string::npos) << err;
    }
}

// The README's headless demo with the default pictures: its click on the drawn
// "Observe" is reported once, and its screenshot shows gold buttons over a
// background of many colours.
TEST(Menu, HeadlessDemo)
{
    const std::string dir = default_pictures();
    Child demo({TESTS_SOURCE_DIR "/../scripts/demo.sh", menu, dir}, through_scripts, dir);
    ASSERT_EQ(demo.wait(), 0) << demo.out() << demo.err();
    const std::string out = demo.out();
    const size_t click = out.find("Pressing button");
    EXPECT_EQ(out.substr(click, out.find('\n', click) - click + 1), "Pressing button 4: Observe\n");
    EXPECT_EQ(out.find("Pressing button", click + 1), std::string::npos) << out;

    png_image png = {};
    png.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&png, (dir + "/screenshot.png").c_str()));
    png.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> shot(PNG_IMAGE_SIZE(png));
    ASSERT_TRUE(png_image_finish_read(&png, nullptr, shot.data(), 0, nullptr));
    ASSERT_EQ(png.width * png.height, 1920u * 1080u);
    std::set<int> colours;  // coarse colours, as a sample of the screen shows them
    int gold = 0;
    for (size_t i = 0; i + 2 < shot.size(); i += 3 * 101) {
        const unsigned char* c = &shot[i];
        colours.insert(c[0] / 64 * 16 + c[1] / 64 * 4 + c[2] / 64);
        gold += c[0] > 150 && c[0] > c[1] && c[1] > c[2] && c[2] < 120;
    }
    EXPECT_GT(gold, 50) << "no gold buttons";
    EXPECT_GE(colours.size(), 12u) << "not the colourful background";
}

// The example application reacts to each click as it happens and ends the menu on "Quit".
TEST(Menu, ExampleApplication)
{
    Child app({TESTS_SOURCE_DIR "/../examples/menu-app.sh", menu, default_pictures()}, through_scripts, "/");
    ASSERT_TRUE(app.wait_for_err(ready)) << app.err();
    ASSERT_TRUE(run_script("xdotool " + observe));
    EXPECT_TRUE(app.wait_for_out("app: Observe chosen\n", 10)) << app.out();
    ASSERT_TRUE(run_script("xdotool mousemove $(button_at 7 1920 1080) sleep 0.5 click 1"));
    EXPECT_EQ(app.wait(60), 0);
    EXPECT_EQ(app.out(), "app: Observe chosen\napp: Quit chosen, ending the menu\n");
}
