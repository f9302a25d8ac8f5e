// The real menu on the test display, driven with real X events: what it
// prints, how it ends, and how it copes with odd surroundings.
#include <gtest/gtest.h>

#include "support.h"

namespace {

const std::string menu = TARNWICK_BINARY;
const std::string observe = "mousemove $(button_at 4 1920 1080) sleep 1 click 1 sleep 0.5 ";
const std::string ready = "main: Starting render loop.\n";
// Scripts run without the sanitizer's preloads, under which the GL driver's leaks could not be told from
// ours: leaks are checked in the menu's direct runs.
const std::string script_env = "env -u LD_PRELOAD ASAN_OPTIONS=detect_leaks=0 ";

// The default pictures, made once for the tests that need them.
const std::string& default_pictures()
{
    static TempDir dir;
    static bool made = run_script(RGBATOOL_BINARY " defaults " + dir.path);
    EXPECT_TRUE(made);
    return dir.path;
}

}  // namespace

// Each start-up line is on its stream as soon as it is printed, missing pictures are reported and the menu runs
// on, a click line arrives while it runs, other clicks print nothing, and Escape ends the run with 0.
TEST(Menu, StartsReportsClicksAndEndsOnEscape)
{
    TempDir cwd;
    Child run({menu}, cwd.path);
    ASSERT_TRUE(run.wait_for_err(ready)) << run.err();
    std::string out = "Compiled against GLFW *\nDetected vidmode 1920x1080\nSetting resolution to 1920x1080\n"
        "OpenGL version 4.5\nVendor graphic card: *\nRenderer: *\nVersion GL: *\nVersion GLSL: *\n"
        "Debugging has been enabled.\nCompiling buttontex GLSL.\nCompiling regtriangle GLSL.\n"
        "Binding to GLSL Lights\nBinding to GLSL Materials\nBinding to GLSL Matrices.\nGenerating button textures.\n";
    for (const char* name : {"start", "coord", "blank", "blank", "observe", "edit", "blank", "quit"})
        out += "Reading output_" + std::string(name) + ".rgba graphic.\n";
    out += "Generating background texture.\nReading output_spinrgb.rgba graphic.\n";
    EXPECT_TRUE(matches(out, run.out())) << run.out();

    ASSERT_TRUE(run_script("xdotool mousemove 960 540 sleep 1 click 1 " + observe + "click 3"));
    EXPECT_TRUE(run.wait_for_out("Pressing button 4: Observe\n", 10));
    ASSERT_TRUE(run_script("xdotool key Escape"));
    EXPECT_EQ(run.wait(), 0);
    EXPECT_TRUE(matches(out + "Pressing button 4: Observe\n", run.out())) << run.out();
    std::string err = "main: Preparing OpenGL primitives.\n";
    for (int i = 0; i < 9; i++)  // one line for each picture
        err += "open: No such file or directory\n";
    EXPECT_EQ(run.err(), err + ready);
}

// Odd surroundings: no display, no 4.5 context, a closed or unwritable standard output, a resized window, an
// unpaced driver. A failed start says why, GLFW's reason too, with 255; a started menu works on till Escape.
TEST(Menu, CopesWithOddSurroundings)
{
    const char* preload = getenv("LD_PRELOAD");
    const std::string observe_at_720 = "mousemove $(button_at 4 1280 720) sleep 1 click 1 sleep 0.5 ";
    struct odd { std::vector<std::string> env; std::string out, actions; int status; std::string out_end, err; };
    const odd cases[] = {
        {{"env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY"}, "", "", 255, "Compiled against GLFW *\n",
         "GLFW: ?*\nmain: Trouble initializing glfw.\n"},
        {{"env", "MESA_GL_VERSION_OVERRIDE=3.3"}, "", "", 255, "\nTrouble with call to glfwCreateWindow\n",
         "GLFW: ?*\n"},
        // No printed line may reach the X connection.
        {{}, "closed", observe, 0, "", "*" + ready},
        {{}, "/dev/full", observe + observe, 1, "",
         "*" + ready + "mouse_button_callback: Cannot report clicks on standard output: No space left on device\n"},
        // The cursor is measured against the window's present size. The search ends its own xdotool, so that
        // the clicks and the key go out as real input, not as events sent to the window it found.
        {{}, "", "search --name ^tarnwick$ windowsize %1 1280 720; xdotool sleep 1 " + observe_at_720, 0,
         "Reading output_spinrgb.rgba graphic.\nPressing button 4: Observe\n", "*" + ready},
        // Frames are paced by the display's refresh.
        {{"env", "LD_PRELOAD=" + (preload ? preload + std::string(":") : "") + SWAPINTERVAL_LIBRARY}, "", "", 0, "",
         "*swap interval 1\n*"},
    };
    for (const auto& c : cases) {
        TempDir cwd;
        std::vector<std::string> argv = c.env;
        argv.push_back(menu);
        Child run(argv, cwd.path, c.out);
        if (c.status != 255) {
            ASSERT_TRUE(run.wait_for_err(ready)) << run.err();
            ASSERT_TRUE(run_script("xdotool " + c.actions + "key Escape"));
        }
        EXPECT_EQ(run.wait(60), c.status) << c.out << c.actions;
        EXPECT_TRUE(matches("*" + c.out_end, run.out())) << run.out();
        EXPECT_TRUE(matches(c.err, run.err())) << run.err();
    }
}

// The README's headless demo with the default pictures: its click on the
// drawn "Observe" is reported once, and its screenshot shows the menu.
TEST(Menu, HeadlessDemo)
{
    const std::string dir = default_pictures();
    Child demo({"sh", "-c", script_env + TESTS_SOURCE_DIR "/../scripts/demo.sh " + menu + " " + dir}, dir);
    ASSERT_EQ(demo.wait(), 0) << demo.out() << demo.err();
    const std::string out = demo.out();
    // Every default picture loads, and the click is the one line after them.
    EXPECT_TRUE(matches("*\nGenerating background texture.\nReading output_spinrgb.rgba graphic.\nGenerating texture.\n"
                        "Completed mipmap.\nPressing button 4: Observe\n--- standard error\n*", out)) << out;
    EXPECT_EQ(out.find("Different sizes"), std::string::npos) << out;
    EXPECT_EQ(out.find("open:"), std::string::npos) << out;

    // A screenshot of the drawn menu, colourful background and all, takes
    // hundreds of kilobytes; one of a blank or single-coloured screen, a few.
    EXPECT_GT(read_file(dir + "/screenshot.png").size(), 200000u);
}

// The example application reacts to each click as it happens and ends the menu on "Quit".
TEST(Menu, ExampleApplication)
{
    const std::string app_script = TESTS_SOURCE_DIR "/../examples/menu-app.sh ";
    Child app({"sh", "-c", script_env + app_script + menu + " " + default_pictures()}, "/");
    ASSERT_TRUE(app.wait_for_err(ready)) << app.err();
    ASSERT_TRUE(run_script("xdotool " + observe + "mousemove $(button_at 7 1920 1080) sleep 1 click 1"));
    EXPECT_EQ(app.wait(60), 0);
    EXPECT_EQ(app.out(), "app: Observe chosen\napp: Quit chosen, ending the menu\n");
}
