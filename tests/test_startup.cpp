// The real binary on a private X server, driven with real X events.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "capture.h"
#include "process.h"
#include "tarnwick.h"

namespace {

constexpr double start_timeout = 60;  // llvmpipe under the sanitizers is slow to start

std::vector<std::string> expected_startup()
{
    return {
        "Compiled against GLFW " + std::to_string(GLFW_VERSION_MAJOR) + "." +
            std::to_string(GLFW_VERSION_MINOR) + "." + std::to_string(GLFW_VERSION_REVISION),
        "Detected vidmode 1920x1080",
        "Setting resolution to 1920x1080",
        "OpenGL version 4.5",
        "Vendor graphic card: *",
        "Renderer: *",
        "Version GL: *",
        "Version GLSL: *",
        "Debugging has been enabled.",
        "Compiling buttontex GLSL.",
        "Compiling regtriangle GLSL.",
        "Binding to GLSL Lights",
        "Binding to GLSL Materials",
        "Binding to GLSL Matrices.",
        "Generating button textures.",
        "Reading output_start.rgba graphic.",
        "Reading output_coord.rgba graphic.",
        "Reading output_blank.rgba graphic.",
        "Reading output_blank.rgba graphic.",
        "Reading output_observe.rgba graphic.",
        "Reading output_edit.rgba graphic.",
        "Reading output_blank.rgba graphic.",
        "Reading output_quit.rgba graphic.",
        "Generating background texture.",
        "Reading output_spinrgb.rgba graphic.",
    };
}

// Compares line by line; an expected line ending in '*' matches any line with that prefix.
void expect_lines(const std::vector<std::string>& actual, const std::vector<std::string>& expected)
{
    ASSERT_EQ(actual.size(), expected.size()) << "actual output:\n" << ::testing::PrintToString(actual);
    for (size_t i = 0; i < expected.size(); i++) {
        const std::string& e = expected[i];
        if (!e.empty() && e.back() == '*')
            EXPECT_EQ(actual[i].compare(0, e.size() - 1, e, 0, e.size() - 1), 0) << actual[i];
        else
            EXPECT_EQ(actual[i], e);
    }
}

void xdotool(const XServer& x, const std::vector<std::string>& args)
{
    std::vector<std::string> argv = {"xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    ASSERT_EQ(run_on_display(x.display(), argv), 0);
}

}  // namespace

// Start-up lines in order on their streams; clicks report the button under the
// pointer; Escape ends the run with status 0.
TEST(Startup, RunsUntilEscapeAndReportsClicks)
{
    XServer x;
    ASSERT_FALSE(x.display().empty());
    TempDir cwd;  // no pictures: every load fails and the menu runs on
    Child menu({TARNWICK_BINARY}, {"DISPLAY=" + x.display()}, cwd.path());
    ASSERT_TRUE(menu.wait_for_err("main: Starting render loop.\n", start_timeout)) << menu.err();

    xdotool(x, {"mousemove", "960", "540", "click", "1"});            // the gap between the columns
    xdotool(x, {"mousemove", "1171", "242", "sleep", "0.5", "click", "1"});  // the face of "Observe"
    xdotool(x, {"mousemove", "460", "1000", "sleep", "0.5", "click", "3"});  // right button: ignored
    xdotool(x, {"sleep", "0.3", "key", "Escape"});
    EXPECT_EQ(menu.wait(start_timeout), 0);

    std::vector<std::string> out = expected_startup();
    out.push_back("Pressing button 4: Observe");
    expect_lines(split_lines(menu.out()), out);
    std::vector<std::string> err = {"main: Preparing OpenGL primitives."};
    err.insert(err.end(), 9, "open: No such file or directory");
    err.push_back("main: Starting render loop.");
    expect_lines(split_lines(menu.err()), err);
}

TEST(Startup, NoDisplayEndsWith255)
{
    TempDir cwd;
    Child menu({TARNWICK_BINARY}, {"DISPLAY=", "WAYLAND_DISPLAY="}, cwd.path());
    EXPECT_EQ(menu.wait(start_timeout), 255);
    EXPECT_EQ(menu.err(), "main: Trouble initializing glfw.\n");
    EXPECT_EQ(split_lines(menu.out()).size(), 1u);
}

TEST(Startup, NoGl45ContextEndsWith255)
{
    XServer x;
    ASSERT_FALSE(x.display().empty());
    TempDir cwd;
    Child menu({TARNWICK_BINARY}, {"DISPLAY=" + x.display(), "MESA_GL_VERSION_OVERRIDE=3.3"},
               cwd.path());
    EXPECT_EQ(menu.wait(start_timeout), 255);
    const std::vector<std::string> out = split_lines(menu.out());
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.back(), "Trouble with call to glfwCreateWindow");
    EXPECT_EQ(menu.err(), "");
}
