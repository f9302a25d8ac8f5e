// The real binary on a private X server, driven with real X events.
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/stat.h>
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

void drive(const XServer& x, const std::vector<std::string>& args)
{
    ASSERT_TRUE(xdotool(x, args)) << "xdotool " << args[0] << " failed";
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

    drive(x, {"mousemove", "960", "540", "click", "1"});            // the gap between the columns
    drive(x, {"mousemove", "1171", "242", "sleep", "0.5", "click", "1"});  // the face of "Observe"
    // The line arrives while the menu runs, not at exit: output here is a file, not a terminal.
    EXPECT_TRUE(menu.wait_for_out("Pressing button 4: Observe\n", 10)) << menu.out();
    drive(x, {"click", "3"});  // right button, still over "Observe": ignored
    drive(x, {"sleep", "0.3", "key", "Escape"});
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

// Each kind of broken picture prints its lines, and the menu runs on with
// texture 0 in that place until Escape.
TEST(Startup, BrokenPicturesAreReportedAndTheMenuRunsOn)
{
    XServer x;
    ASSERT_FALSE(x.display().empty());
    TempDir cwd;
    const std::string d = cwd.path() + "/";
    const auto write_zeros = [](const std::string& path, long bytes) {
        std::string zeros((size_t)bytes, '\0');
        FILE* file = fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        ASSERT_EQ(fwrite(zeros.data(), 1, zeros.size(), file), zeros.size());
        fclose(file);
    };
    // output_start.rgba is missing.
    write_zeros(d + "output_coord.rgba", 8388607);
    write_zeros(d + "output_blank.rgba", 8388609);
    write_zeros(d + "output_observe.rgba", 8388608);
    ASSERT_EQ(chmod((d + "output_observe.rgba").c_str(), 0), 0);
    ASSERT_EQ(mkdir((d + "output_edit.rgba").c_str(), 0755), 0);
    ASSERT_EQ(mkfifo((d + "output_quit.rgba").c_str(), 0644), 0);
    write_zeros(d + "output_spinrgb.rgba", 134217728);

    Child menu({TARNWICK_BINARY}, {"DISPLAY=" + x.display()}, cwd.path());
    ASSERT_TRUE(menu.wait_for_err("main: Starting render loop.\n", start_timeout)) << menu.err();
    drive(x, {"mousemove", "1171", "242", "sleep", "0.5", "click", "1", "sleep", "0.3", "key", "Escape"});
    EXPECT_EQ(menu.wait(start_timeout), 0);

    std::vector<std::string> out = expected_startup();
    out.resize(15);  // up to "Generating button textures."
    const std::string blank_line = "Different sizes 8388609 compared to 8388608";
    for (const char* line : {
             "Reading output_start.rgba graphic.",
             "Reading output_coord.rgba graphic.", "Different sizes 8388607 compared to 8388608",
             "Reading output_blank.rgba graphic.", blank_line.c_str(),
             "Reading output_blank.rgba graphic.", blank_line.c_str(),
             "Reading output_observe.rgba graphic.",
             "Reading output_edit.rgba graphic.",
             "Reading output_blank.rgba graphic.", blank_line.c_str(),
             "Reading output_quit.rgba graphic.", "Different sizes 0 compared to 8388608",
             "Generating background texture.",
             "Reading output_spinrgb.rgba graphic.", "Generating texture.", "Completed mipmap.",
             "Pressing button 4: Observe"})
        out.push_back(line);
    expect_lines(split_lines(menu.out()), out);
    expect_lines(split_lines(menu.err()),
                 {"main: Preparing OpenGL primitives.", "open: No such file or directory",
                  "open: Permission denied", "open: Is a directory", "main: Starting render loop."});
}
