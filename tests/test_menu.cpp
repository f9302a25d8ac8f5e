// The real menu under real X input. Guards: its lines and their streams; bad pictures; click
// lines only for the button drawn under the pointer, none before the first frame; Escape; failed
// starts; odd readers; frame pacing; focus, iconifying and mode changes with and without a window
// manager; Wayland desktops; the example application's diagnostics and its end.
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

#include "support.h"

namespace {

const std::string menu = TARNWICK_BINARY, scripts = TESTS_SOURCE_DIR "/../scripts/";
const std::string ready = "main: Starting render loop.\n";
const std::string observe = "mousemove $(button_at 4 1920 1080) sleep 1 click 1 sleep 0.5 ";
// A script, without the sanitizer's preload and the leak checks its tools and menus would get.
Child script(const std::string& text, const std::string& cwd = "/")
{
    return Child({"env", "-u", "LD_PRELOAD", "ASAN_OPTIONS=detect_leaks=0", "sh", "-c", text}, cwd);
}

// The default pictures; `broken` lacks Start's and has a short Quit one.
const std::string& pictures(bool broken = false)
{
    static TempDir whole, part;
    static bool made = run_script(RGBATOOL_BINARY " defaults " + whole.path + " >/dev/null && cp " +
                                  whole.path + "/* " + part.path + " && cd " + part.path +
                                  " && rm output_start.rgba && truncate -s 8 output_quit.rgba");
    EXPECT_TRUE(made);
    return broken ? part.path : whole.path;
}

// On a private X server: run_menu starts the menu, finish passes on its status.
Child on_private_server(const std::string& text)
{
    return script(scripts + "with-xvfb.sh bash -c '. " + scripts + "menu.sh; cd " + pictures() +
                  "; run_menu() { " + menu + " 2>err & m=$!; wait_for_menu err $m; }; finish() { " +
                  "wait $m; s=$?; cat err >&2; rm err; exit $s; }; " + text + "'");
}

}  // namespace

// Frames are paced by the refresh; clicks before the first frame, on a gap and with the right
// button print nothing, on Observe one line; Escape ends with 0.
TEST(Menu, StartsReportsClicksAndEndsOnEscape)
{
    const char* preload = getenv("LD_PRELOAD");  // the sanitizer's runtime, if any
    const std::string slow = SWAPINTERVAL_LIBRARY;
    Child run({"env", "LD_PRELOAD=" + (preload ? preload + (":" + slow) : slow), menu},
              pictures(true));
    ASSERT_TRUE(
        run_script("xdotool search --sync --onlyvisible --name ^tarnwick$ >/dev/null; "
                   "xdotool mousemove $(button_at 4 1920 1080) click --repeat 2 1"));
    EXPECT_EQ(run.err().find(ready), std::string::npos) << "clicked too late to test";
    ASSERT_TRUE(run.wait_for_err(ready)) << run.err();
    ASSERT_TRUE(run_script("xdotool sleep 1 mousemove 960 540 sleep 1 click 1 " + observe +
                           "click 3 key Escape"));
    EXPECT_EQ(run.wait(), 0);
    std::string out =
        "Compiled against GLFW *\nDetected vidmode 1920x1080\nSetting resolution to "
        "1920x1080\nOpenGL version 4.?\nVendor graphic card: *\nRenderer: *\nVersion "
        "GL: *\nVersion GLSL: *\nDebugging has been enabled.\nCompiling buttontex "
        "GLSL.\nCompiling regtriangle GLSL.\nBinding to GLSL Lights\nBinding to GLSL "
        "Materials\nBinding to GLSL Matrices.\nGenerating button textures.\n";
    const std::string loaded = "Generating texture.\nCompleted mipmap.\n";
    for (const std::string file :
         {"start", "coord", "blank", "blank", "observe", "edit", "blank", "quit"}) {
        out += "Reading output_" + file + ".rgba graphic.\n" +
               (file == "start"  ? ""
                : file == "quit" ? "Different sizes 8 compared to 8388608\n"
                                 : loaded);
    }
    out += "Generating background texture.\nReading output_spinrgb.rgba graphic.\n" + loaded;
    EXPECT_TRUE(matches(out + "Pressing button 4: Observe\n", run.out())) << run.out();
    EXPECT_EQ(run.err(),
              "swap interval 1\nmain: Preparing OpenGL primitives.\nopen: No such file "
              "or directory\n" +
                  ready);
}

// A failed start says why with 255; a started menu runs till Escape whatever reads its output,
// ending with 1 after saying so if a click line could not be written.
TEST(Menu, CopesWithOddSurroundings)
{
    const std::string lost = "*mouse_button_callback: Cannot report clicks on standard output: ";
    const struct {
        std::string shell, actions;  // the shell runs the menu as "$0"
        int status;
        std::string out_end, err;
    } cases[] = {
        {"env -u DISPLAY -u WAYLAND_DISPLAY \"$0\"", "", 255, "Compiled against GLFW *\n",
         "GLFW: ?*\nmain: Trouble initializing glfw.\n"},
        {"MESA_GL_VERSION_OVERRIDE=3.3 \"$0\"", "", 255,
         "\nTrouble with call to glfwCreateWindow\n", "GLFW: ?*\n"},
        {"\"$0\" >&-", observe, 0, "", "*" + ready},  // no line may reach the X connection
        {"\"$0\" >/dev/full", observe + observe, 1, "", lost + "No space left on device\n"},
        {"\"$0\" | head -n 1; exit ${PIPESTATUS[0]}", observe, 1, "Compiled against GLFW *\n",
         lost + "Broken pipe\n"},
    };
    for (const auto& c : cases) {
        TempDir cwd;
        Child run({"bash", "-c", c.shell, menu}, cwd.path);
        if (c.status != 255) {
            ASSERT_TRUE(run.wait_for_err(ready)) << run.err();
            ASSERT_TRUE(run_script("xdotool " + c.actions + "key Escape"));
        }
        EXPECT_EQ(run.wait(60), c.status) << c.shell;
        EXPECT_TRUE(matches("*" + c.out_end, run.out())) << run.out();
        EXPECT_TRUE(matches(c.err, run.err())) << run.err();
    }
}

// Under openbox the menu outlasts a window over it and waits while iconified; without a window
// manager it follows a mode change and takes the keyboard focus from another window.
TEST(Menu, RealDesktops)
{
    const std::string cpu = "$(awk \"{print \\$14 + \\$15}\" /proc/$m/stat)";
    const std::string scenarios[] = {
        "openbox & until xprop -root _NET_SUPPORTING_WM_CHECK | grep -q id; do sleep 0.1; done; "
        "run_menu; xterm & xdotool search --sync --onlyvisible --class xterm sleep 1; kill $!; "
        "xdotool " +
            observe + "search --name ^tarnwick$ windowminimize sleep 1; a=" + cpu +
            "; sleep 2; [ $((" + cpu +
            " - a)) -lt 40 ] || echo drawn while iconified; "
            "xdotool search --name ^tarnwick$ windowactivate --sync sleep 1 key Escape; finish",
        "xrandr --newmode 1280x720 74.25 1280 1390 1430 1650 720 725 730 750; xrandr --addmode "
        "screen 1280x720; xterm & xdotool search --sync --onlyvisible --class xterm windowfocus "
        "--sync; run_menu; xrandr --output screen --mode 1280x720; xdotool sleep 2 mousemove "
        "$(button_at 4 1280 720) sleep 1 click 1 sleep 0.5 key Escape; finish",
    };
    for (const std::string& scenario : scenarios) {
        Child run = on_private_server(scenario);
        EXPECT_EQ(run.wait(), 0) << scenario << run.err();
        EXPECT_TRUE(matches("*mipmap.\nPressing button 4: Observe\n", run.out())) << run.out();
    }
}

// On a Wayland desktop (weston nested in the X server, XWayland for X programs) the menu runs
// through XWayland, whether the session is named in WAYLAND_DISPLAY or only by its socket.
TEST(Menu, WaylandDesktop)
{
#if GLFW_VERSION_MAJOR == 3 && GLFW_VERSION_MINOR < 4
    GTEST_SKIP() << "GLFW 3." << GLFW_VERSION_MINOR << " has no Wayland platform to choose";
#endif
    for (const std::string session : {"WAYLAND_DISPLAY=wayland-0", ""}) {
        Child run = on_private_server(
            "export XDG_RUNTIME_DIR=$(mktemp -d); weston --backend=x11 --renderer=pixman "
            "--xwayland --width=1920 --height=1080 --socket=wayland-0 2>$XDG_RUNTIME_DIR/log & "
            "until x=$(sed -n \"s/.*xserver listening on display //p\" $XDG_RUNTIME_DIR/log); "
            "[ -n \"$x\" ]; do sleep 0.1; done; " +
            session + " DISPLAY=$x run_menu; xdotool " + observe + "key Escape; finish");
        EXPECT_EQ(run.wait(), 0) << session << run.err();
        EXPECT_TRUE(matches("*mipmap.\nPressing button 4: Observe\n", run.out())) << run.out();
    }
}

// The example application acts on clicks, passes on diagnostics, and takes the menu with it.
TEST(Menu, ExampleApplication)
{
    const std::string app = TESTS_SOURCE_DIR "/../examples/menu-app.sh " + menu + " ";
    Child quits = script(app + pictures(true));
    ASSERT_TRUE(quits.wait_for_err(ready)) << quits.err();
    ASSERT_TRUE(
        run_script("xdotool " + observe + "mousemove $(button_at 7 1920 1080) sleep 1 click 1"));
    EXPECT_EQ(quits.wait(60), 0);
    EXPECT_EQ(quits.out(), "app: Observe chosen\napp: Quit chosen, ending the menu\n");
    EXPECT_TRUE(
        matches("*Reading output_start.rgba graphic.\nopen: No such file or directory\n*"
                "Reading output_quit.rgba graphic.\nDifferent sizes 8 *",
                quits.err()))
        << quits.err();
    Child stopped =
        script(". " + scripts + "menu.sh; for s in TERM INT HUP; do env --default-signal " + app +
                   pictures() + " 2>$s & wait_for_menu $s $! || echo $s; " +
                   "kill -$s $!; wait $!; ! pgrep -g 0 -x tarnwick || echo $s; done",
               pictures());
    EXPECT_TRUE(stopped.wait(180) == 0 && stopped.out().empty()) << stopped.out() << stopped.err();
}
