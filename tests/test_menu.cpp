// The real menu under real X input: its lines and streams, clicks, Escape, failed starts, odd
// readers, real desktops, and the example application.
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

#include "support.h"

namespace {

const std::string menu = TARNWICK_BINARY, scripts = TESTS_SOURCE_DIR "/../scripts/";
const std::string ready = "main: Starting render loop.\n";
const std::string observe = "mousemove $(button_at 4 1920 1080) sleep 1 click 1 sleep 0.5 ";
// Menus that scripts start lack the preload naming driver leaks.
const std::string unchecked = "ASAN_OPTIONS=detect_leaks=0 ";

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

// A scenario on a private X server (run_menu [COMMAND...], finish) that clicks Observe and ends 0.
void clicks_observe(const std::string& text)
{
    Child run = shell(unchecked + scripts + "with-xvfb.sh bash -c '. " + scripts + "menu.sh; cd " +
                      pictures() + "; run_menu() { \"$@\" " + menu +
                      " 2>err & m=$!; wait_for_menu err $m; }; " +
                      "finish() { wait $m; s=$?; cat err >&2; rm err; exit $s; }; " + text + "'");
    EXPECT_EQ(run.wait(), 0) << text << run.err();
    EXPECT_TRUE(matches("*mipmap.\nPressing button 4: Observe\n", run.out())) << run.out();
}

#ifdef __SANITIZE_ADDRESS__  // libfaketime hangs ASan's start (Debian 13)
const std::string an_hour_back;
#else
const std::string an_hour_back =
    "LD_PRELOAD=$(echo /usr/lib/*/faketime/libfaketime.so.1) "
    "FAKETIME_TIMESTAMP_FILE=ft FAKETIME_NO_CACHE=1 "
    "FAKETIME_DONT_FAKE_MONOTONIC=1";
#endif

}  // namespace

// Frames paced by the refresh; clicks before the first frame, on a gap and with the right button
// print nothing; on Observe, Edit and Start while the menu is stopped, a line each.
TEST(Menu, StartsReportsClicksAndEndsOnEscape)
{
    const char* asan = getenv("LD_PRELOAD");  // its runtime, if any, comes first
    Child run(
        {"env", "LD_PRELOAD=" + (asan ? asan + std::string(":") : "") + SWAPINTERVAL_LIBRARY, menu},
        pictures(true));
    ASSERT_TRUE(
        run_script("xdotool search --sync --onlyvisible --name ^tarnwick$ >/dev/null; "
                   "xdotool mousemove $(button_at 4 1920 1080) click --repeat 2 1"));
    EXPECT_EQ(run.err().find(ready), std::string::npos) << "clicked too late to test";
    ASSERT_TRUE(run.wait_for_err(ready)) << run.err();
    ASSERT_TRUE(run_script(
        "m=$(xdotool search --name ^tarnwick$ getwindowpid); xdotool sleep 1 mousemove 960 540 "
        "sleep 1 click 1 mousemove $(button_at 4 1920 1080) sleep 1; kill -STOP $m; for b in 4 5 "
        "0; "
        "do xdotool mousemove $(button_at $b 1920 1080) click 1; done; kill -CONT $m; "
        "xdotool sleep 1 click 3 key Escape"));
    EXPECT_EQ(run.wait(), 0);
    // The missing picture goes on to the next, the short one is named; a line for each click.
    EXPECT_TRUE(
        matches("*output_start.rgba graphic.\nReading output_coord*output_quit.rgba graphic."
                "\nDifferent sizes 8 compared to 8388608\nGenerating background*mipmap.\n"
                "Pressing button 4: Observe\nPressing button 5: Edit\nPressing button 0: "
                "Start\n",
                run.out()))
        << run.out();
    EXPECT_EQ(run.err(),
              "swap interval 1\nmain: Preparing OpenGL primitives.\nopen: No such file "
              "or directory\n" +
                  ready);
}

// A failed start says why with 255; a started menu runs till Escape whatever reads its output,
// ending with 1 if a click line could not be written.
TEST(Menu, CopesWithOddSurroundings)
{
    const std::string lost = "*mouse_button_callback: Cannot report clicks on standard output: ";
    const struct {
        std::string shell, actions;  // the shell runs the menu as "$0"
        int status;
        std::string out_end, err;
    } cases[] = {
        {"env -u DISPLAY \"$0\"", "", 255, "Compiled against GLFW *\n",
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
// manager it takes the focus and follows a mode change after the clock went back.
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
        "--sync; run_menu env " +
            an_hour_back +
            "; echo -1h >ft; xrandr --output screen --mode 1280x720; xdotool sleep 2 mousemove "
            "$(button_at 4 1280 720) sleep 1 click 1 sleep 0.5 key Escape; finish",
    };
    for (const std::string& scenario : scenarios)
        clicks_observe(scenario);
}

// On a Wayland desktop, named in WAYLAND_DISPLAY or only by its socket, the menu uses XWayland.
TEST(Menu, WaylandDesktop)
{
#if GLFW_VERSION_MAJOR == 3 && GLFW_VERSION_MINOR < 4
    GTEST_SKIP() << "GLFW 3." << GLFW_VERSION_MINOR << " has no Wayland platform to choose";
#endif
    for (const std::string session : {"WAYLAND_DISPLAY=wayland-0", ""})
        clicks_observe(
            "export XDG_RUNTIME_DIR=$(mktemp -d); weston --backend=x11 --renderer=pixman "
            "--xwayland --width=1920 --height=1080 --socket=wayland-0 2>$XDG_RUNTIME_DIR/l"
            " & until x=$(sed -n \"s/.*listening on display //p\" $XDG_RUNTIME_DIR/l); "
            "[ -n \"$x\" ]; do sleep 0.1; done; " +
            session + " DISPLAY=$x run_menu; xdotool " + observe + "key Escape; finish");
}

// The example application acts on clicks, passes on diagnostics, and ends the menu on Quit.
TEST(Menu, ExampleApplication)
{
    const std::string app = TESTS_SOURCE_DIR "/../examples/menu-app.sh " + menu + " ";
    Child quits = shell(unchecked + app + pictures(true));
    ASSERT_TRUE(quits.wait_for_err(ready)) << quits.err();
    ASSERT_TRUE(
        run_script("xdotool " + observe + "mousemove $(button_at 7 1920 1080) sleep 1 click 1"));
    EXPECT_EQ(quits.wait(60), 0);
    EXPECT_EQ(quits.out(), "app: Observe chosen\napp: Quit chosen, ending the menu\n");
    EXPECT_TRUE(
        matches("*start.rgba graphic.\nopen: No such file*Different sizes 8 *", quits.err()))
        << quits.err();
}
