// The menu's GL calls, recorded by apitrace from a real run on a private X
// server and read back as text: start-up, every frame and teardown call GL
// exactly as expected. The checker itself is shown to catch a call missing,
// doubled or out of order in a sample dump.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <tuple>

#include "capture.h"
#include "menuscene.h"
#include "process.h"
#include "tracecheck.h"

namespace {

std::string join(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

// ---------------------------------------------------------------------------
// A real run under apitrace, with the default pictures.

struct recording {
    std::string failed;  // why recording went wrong
    int status = -1;
    std::string out;
    trace_report report;
};

#if defined(__SANITIZE_ADDRESS__)
constexpr const char* cannot_trace =
    "apitrace preloads its GL wrapper into the menu, but the address sanitizer's runtime must be "
    "the first library loaded; the checker's own tests still run";
#else
constexpr const char* cannot_trace = nullptr;
#endif

void drive(const XServer& x, const std::vector<std::string>& args, recording* r)
{
    if (!xdotool(x, args))
        r->failed += "xdotool " + args[0] + " failed\n";
}

recording record()
{
    recording r;
    const auto started = std::chrono::steady_clock::now();
    XServer x;
    TempDir dir;
    if (x.display().empty()) {
        r.failed = "no X server";
        return r;
    }
    if (std::system((std::string(RGBATOOL_BINARY) + " defaults " + dir.path()).c_str()) != 0) {
        r.failed = "rgbatool could not make the default pictures";
        return r;
    }
    const std::string trace = dir.path() + "/menu.trace", dump = dir.path() + "/menu.dump";
    Child menu({"/usr/bin/env", "apitrace", "trace", "--api", "gl", "-o", trace, TARNWICK_BINARY},
               {"DISPLAY=" + x.display(), "LD_PRELOAD="}, dir.path());
    if (!menu.wait_for_err("main: Starting render loop.\n", 120)) {
        r.failed = "the menu did not reach its frame loop:\n" + menu.err();
        return r;
    }

    // Over every button for a while, each in turn, with one click on "Observe":
    // a few hundred frames under llvmpipe.
    for (int button = 0; button < 8; button++) {
        const screen_rect face = face_on_screen(button, 0.2f);
        const int x_mid = (int)((face.left + face.right) / 2), y_mid = (int)((face.top + face.bottom) / 2);
        std::vector<std::string> args = {"mousemove", std::to_string(x_mid), std::to_string(y_mid),
                                         "sleep", "2"};
        if (button == 4)
            args.insert(args.end(), {"click", "1", "sleep", "0.3"});
        drive(x, args, &r);
    }
    drive(x, {"mousemove", "960", "540", "key", "Escape"}, &r);
    r.status = menu.wait(60);
    r.out = menu.out();

    const std::string command = "apitrace dump -v --color=never --multiline=no --arg-names=no '" +
                                trace + "' > '" + dump + "'";
    if (std::system(command.c_str()) != 0) {
        r.failed += "apitrace dump failed: " + command + "\n" + menu.err();
        return r;
    }
    std::ifstream text(dump);
    r.report = check_dump(text);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    printf("recorded and checked %ld frames in %.1f s\n", r.report.frames, took.count());
    return r;
}

}  // namespace

// One real run, recorded once and checked as a whole: it ends with status 0 after hundreds of frames
// and reports the click once; GLFW asks for a 4.5 core debug context; start-up
// makes its calls in order (implementation queries, debug output, vertex
// arrays and buffers, both programs, six uniform buffers on their binding
// points, nine textures); every frame clears once and makes its 67 draws, each
// with its 176-byte upload and between its program and program 0, after each
// phase's uniform uploads, creating nothing; teardown is the last GL call.
TEST(Trace, RealRunMakesTheExpectedGlCalls)
{
    if (cannot_trace)
        GTEST_SKIP() << cannot_trace;
    const recording r = record();
    ASSERT_TRUE(r.failed.empty()) << r.failed;

    EXPECT_EQ(r.status, 0);
    EXPECT_GE(r.report.frames, 100);
    std::vector<std::string> clicks;
    for (const std::string& line : split_lines(r.out))
        if (line.compare(0, 15, "Pressing button") == 0)
            clicks.push_back(line);
    EXPECT_EQ(clicks, std::vector<std::string>{"Pressing button 4: Observe"}) << r.out;

    EXPECT_TRUE(r.report.context.empty()) << join(r.report.context);
    EXPECT_TRUE(r.report.startup.empty()) << join(r.report.startup);
    EXPECT_TRUE(r.report.frame.empty()) << join(r.report.frame);
    EXPECT_TRUE(r.report.teardown.empty()) << join(r.report.teardown);
}

// ---------------------------------------------------------------------------
// The checker itself: on a sample dump as apitrace writes one, then on altered copies.

namespace {

__attribute__((format(printf, 1, 2))) std::string f(const char* format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

struct pack_names {
    int vao, vbo, ebo, program, fragment, vertex, lights, materials, matrices;
};

// GL names other than the driver's, to show that the checker follows whatever start-up made.
constexpr pack_names bt = {3, 11, 12, 20, 21, 22, 42, 44, 46};
constexpr pack_names rt = {7, 13, 14, 30, 31, 32, 41, 43, 45};
constexpr int first_texture = 51;

void compile(std::vector<std::string>& d, const pack_names& p, int vertex_lines, int fragment_lines)
{
    d.push_back(f("glCreateProgram() = %d", p.program));
    for (const auto& [stage, shader, lines] : {std::tuple{"FRAGMENT", p.fragment, fragment_lines},
                                               std::tuple{"VERTEX", p.vertex, vertex_lines}}) {
        d.push_back(f("glCreateShader(GL_%s_SHADER) = %d", stage, shader));
        d.push_back(f("glShaderSource(%d, %d, {\"#version 410 core\\n\", \"}\\n\"}, NULL)", shader, lines));
        d.push_back(f("glAttachShader(%d, %d)", p.program, shader));
        d.push_back(f("glCompileShader(%d)", shader));
        d.push_back(f("glGetShaderiv(%d, GL_COMPILE_STATUS, &1)", shader));
    }
    d.push_back(f("glBindAttribLocation(%d, 0, \"aPos\") // fake", p.program));
    d.push_back(f("glLinkProgram(%d)", p.program));
    d.push_back(f("glValidateProgram(%d)", p.program));
    d.push_back(f("glDetachShader(%d, %d)", p.program, p.vertex));
    d.push_back(f("glDetachShader(%d, %d)", p.program, p.fragment));
    d.push_back(f("glDeleteShader(%d)", p.vertex));
    d.push_back(f("glDeleteShader(%d)", p.fragment));
}

void ubo(std::vector<std::string>& d, int program, const char* block, int index, int buffer,
         int size, int binding)
{
    d.push_back(f("glGetUniformBlockIndex(%d, \"%s\") = %d", program, block, index));
    d.push_back(f("glUniformBlockBinding(%d, %d, %d)", program, index, binding));
    d.push_back(f("glGenBuffers(1, &%d)", buffer));
    d.push_back(f("glBindBuffer(GL_UNIFORM_BUFFER, %d)", buffer));
    d.push_back(f("glBufferData(GL_UNIFORM_BUFFER, %d, NULL, GL_DYNAMIC_DRAW)", size));
    d.push_back("glBindBuffer(GL_UNIFORM_BUFFER, 0)");
    d.push_back(f("glBindBufferRange(GL_UNIFORM_BUFFER, %d, %d, 0, %d)", binding, buffer, size));
    d.push_back("glBindBuffer(GL_UNIFORM_BUFFER, 0)");
}

void texture(std::vector<std::string>& d, int name, int size)
{
    d.push_back(f("glGenTextures(1, &%d)", name));
    d.push_back(f("glBindTexture(GL_TEXTURE_2D, %d)", name));
    d.push_back("glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT)");
    d.push_back("glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT)");
    d.push_back("glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR)");
    d.push_back("glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR)");
    d.push_back(f("glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, %d, %d, 0, GL_RGBA, GL_UNSIGNED_SHORT, "
                  "blob(%d))", size, size, size * size * 8));
    d.push_back("glGenerateMipmap(GL_TEXTURE_2D)");
}

void upload(std::vector<std::string>& d, const pack_names& p, int index_bytes)
{
    for (const auto& [buffer, size] : {std::pair{p.lights, 16}, std::pair{p.materials, 52}}) {
        d.push_back(f("glBindBuffer(GL_UNIFORM_BUFFER, %d)", buffer));
        d.push_back(f("glBufferData(GL_UNIFORM_BUFFER, %d, blob(%d), GL_DYNAMIC_DRAW)", size, size));
        d.push_back("glBindBuffer(GL_UNIFORM_BUFFER, 0)");
    }
    d.push_back(f("glBindBuffer(GL_UNIFORM_BUFFER, %d)", p.matrices));
    for (int offset : {0, 64, 128})
        d.push_back(f("glBufferSubData(GL_UNIFORM_BUFFER, %d, 64, blob(64))", offset));
    d.push_back("glBindBuffer(GL_UNIFORM_BUFFER, 0)");
    d.push_back(f("glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, %d)", p.ebo));
    d.push_back(f("glBufferData(GL_ELEMENT_ARRAY_BUFFER, %d, blob(%d), GL_STATIC_DRAW)", index_bytes,
                  index_bytes));
}

void pointers(std::vector<std::string>& d, int locations)
{
    const char* offsets[4] = {"NULL", "0xc", "0x18", "0x24"};
    for (int i = 0; i < locations; i++)
        d.push_back(f("glVertexAttribPointer(%d, %d, GL_FLOAT, GL_FALSE, 44, %s)", i, i < 3 ? 3 : 2,
                      offsets[i]));
}

void draw(std::vector<std::string>& d, const pack_names& p, int count, bool set_pointers)
{
    const int locations = p.program == bt.program ? 4 : 3;
    d.push_back(f("glBindBuffer(GL_ARRAY_BUFFER, %d)", p.vbo));
    d.push_back("glBufferData(GL_ARRAY_BUFFER, 176, blob(176), GL_DYNAMIC_DRAW)");
    if (set_pointers)
        pointers(d, locations);
    d.push_back(f("glUseProgram(%d)", p.program));
    for (int i = 0; i < locations; i++)
        d.push_back(f("glEnableVertexAttribArray(%d)", i));
    d.push_back(f("glDrawElements(GL_TRIANGLES, %d, GL_UNSIGNED_INT, NULL)", count));
    for (int i = 0; i < locations; i++)
        d.push_back(f("glDisableVertexAttribArray(%d)", i));
    d.push_back("glUseProgram(0)");
}

void frame(std::vector<std::string>& d)
{
    d.push_back("glClearColor(0.5, 0.5, 0.5, 1)");
    d.push_back("glClear(GL_DEPTH_BUFFER_BIT | GL_COLOR_BUFFER_BIT)");
    d.push_back(f("glBindVertexArray(%d)", bt.vao));
    upload(d, bt, 24);
    d.push_back(f("glBindTexture(GL_TEXTURE_2D, %d)", first_texture + 8));
    draw(d, bt, 6, true);
    d.push_back("glBindVertexArray(0)");
    d.push_back(f("glBindVertexArray(%d)", rt.vao));
    upload(d, rt, 12);
    for (int i = 0; i < 26; i++)
        draw(d, rt, 3, true);
    d.push_back(f("glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, %d)", rt.ebo));
    d.push_back("glBufferData(GL_ELEMENT_ARRAY_BUFFER, 24, blob(24), GL_STATIC_DRAW)");
    pointers(d, 3);
    d.push_back(f("glBindBuffer(GL_UNIFORM_BUFFER, %d)", rt.materials));
    d.push_back("glBufferData(GL_UNIFORM_BUFFER, 52, blob(52), GL_DYNAMIC_DRAW)");
    d.push_back("glBindBuffer(GL_UNIFORM_BUFFER, 0)");
    for (int i = 0; i < 32; i++)
        draw(d, rt, 6, false);
    d.push_back(f("glBindVertexArray(%d)", bt.vao));
    upload(d, bt, 24);
    for (int i = 0; i < 8; i++) {
        d.push_back(f("glBindTexture(GL_TEXTURE_2D, %d)", first_texture + i));
        draw(d, bt, 6, true);
    }
    d.push_back("glBindVertexArray(0)");
    d.push_back("glXSwapBuffers(0x5601, 2097160)");
}

// The calls of a short run, without their numbers: GLFW's context, start-up,
// two frames, teardown and GLFW's release of the context. The shader sources
// and GLFW's and the loader's queries are abridged.
std::vector<std::string> sample_calls()
{
    std::vector<std::string> d = {
        "glXCreateContextAttribsARB(0x5601, 0x5602, NULL, True, {GLX_CONTEXT_MAJOR_VERSION_ARB, 4, "
        "GLX_CONTEXT_MINOR_VERSION_ARB, 5, GLX_CONTEXT_PROFILE_MASK_ARB, "
        "GLX_CONTEXT_CORE_PROFILE_BIT_ARB, GLX_CONTEXT_FLAGS_ARB, GLX_CONTEXT_DEBUG_BIT_ARB, 0}) = "
        "0x5603",
        "glXMakeCurrent(0x5601, 2097160, 0x5603) = True",
        "glViewport(0, 0, 1920, 1080) // fake",
        "glGetIntegerv(GL_CONTEXT_FLAGS, &2)",
        "glClear(GL_COLOR_BUFFER_BIT)",
        "glXSwapBuffers(0x5601, 2097160)",
        "glXMakeCurrent(0x5601, 2097160, 0x5603) = True",
        "glXGetProcAddress(\"glActiveTexture\") = 0x7f01",
        "glGetString(GL_VERSION) = \"4.5 (Core Profile) Mesa 22.3.6\"",
        "glGetIntegerv(GL_MAJOR_VERSION, &4)",
        "glGetIntegerv(GL_MINOR_VERSION, &5)",
        "glGetString(GL_VENDOR) = \"Mesa\"",
        "glGetString(GL_RENDERER) = \"llvmpipe (LLVM 15.0.6, 256 bits)\"",
        "glGetString(GL_VERSION) = \"4.5 (Core Profile) Mesa 22.3.6\"",
        "glGetString(GL_SHADING_LANGUAGE_VERSION) = \"4.50\"",
        "glGetIntegerv(GL_CONTEXT_FLAGS, &2)",
        "glEnable(GL_DEBUG_OUTPUT)",
        "glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS)",
        "glDebugMessageCallback(0x5604, NULL)",
        "glDebugMessageControl(GL_DEBUG_SOURCE_API, GL_DEBUG_TYPE_ERROR, GL_DEBUG_SEVERITY_HIGH, 0, "
        "NULL, GL_TRUE)",
    };
    for (const pack_names& p : {bt, rt}) {
        d.push_back(f("glGenVertexArrays(1, &%d)", p.vao));
        d.push_back(f("glGenBuffers(1, &%d)", p.vbo));
        d.push_back(f("glGenBuffers(1, &%d)", p.ebo));
    }
    compile(d, bt, 29, 39);
    compile(d, rt, 26, 29);
    ubo(d, rt.program, "Lights", 0, rt.lights, 16, 0);
    ubo(d, bt.program, "Lights", 0, bt.lights, 16, 1);
    ubo(d, rt.program, "Materials", 2, rt.materials, 52, 2);
    ubo(d, bt.program, "Materials", 2, bt.materials, 52, 3);
    ubo(d, rt.program, "Matrices", 1, rt.matrices, 192, 4);
    ubo(d, bt.program, "Matrices", 1, bt.matrices, 192, 5);
    for (int i = 0; i < 8; i++)
        texture(d, first_texture + i, 1024);
    texture(d, first_texture + 8, 4096);
    frame(d);
    frame(d);
    for (const pack_names& p : {bt, rt}) {
        d.push_back(f("glDeleteVertexArrays(1, &%d)", p.vao));
        d.push_back(f("glDeleteBuffers(1, &%d)", p.vbo));
        d.push_back(f("glDeleteBuffers(1, &%d)", p.ebo));
    }
    d.push_back(f("glDeleteProgram(%d)", bt.program));
    d.push_back(f("glDeleteProgram(%d)", rt.program));
    d.push_back("glXMakeCurrent(0x5601, 0, NULL) = True");
    d.push_back("glXDestroyWindow(0x5601, 2097160)");
    d.push_back("glXDestroyContext(0x5601, 0x5603)");
    return d;
}

// Numbers the calls as apitrace does, with its comment line and a blank line after each swap.
trace_report check_calls(const std::vector<std::string>& calls)
{
    std::string text = "// process.name = \"/usr/bin/tarnwick\"\n";
    for (size_t i = 0; i < calls.size(); i++) {
        text += std::to_string(1000 + i) + " " + calls[i] + "\n";
        if (calls[i].compare(0, 14, "glXSwapBuffers") == 0)
            text += "\n";
    }
    std::istringstream dump(text);
    return check_dump(dump);
}

// Index of the n-th call (from 1) that contains `text`, counting from `from`.
size_t nth(const std::vector<std::string>& calls, const std::string& text, int n, size_t from = 0)
{
    for (size_t i = from; i < calls.size(); i++)
        if (calls[i].find(text) != std::string::npos && --n == 0)
            return i;
    ADD_FAILURE() << "the sample has no call " << text;
    return calls.size() - 1;
}

size_t frame_start(const std::vector<std::string>& calls, int frame_number)
{
    return nth(calls, "glClear(GL_DEPTH_BUFFER_BIT", frame_number);
}

struct alteration {
    const char* what;
    std::function<void(std::vector<std::string>&)> apply;
    std::vector<std::string> trace_report::*section;
    std::vector<std::string> parts;  // of the problem it must cause
};

void insert_copy(std::vector<std::string>& calls, size_t i)
{
    calls.insert(calls.begin() + (long)i, calls[i]);
}

const std::vector<alteration> alterations = {
    {"a debug context not asked for",
     [](auto& c) {
         const std::string flag = "GLX_CONTEXT_FLAGS_ARB, GLX_CONTEXT_DEBUG_BIT_ARB, ";
         c[0].erase(c[0].find(flag), flag.size());
     },
     &trace_report::context, {"context", "no GLX_CONTEXT_DEBUG_BIT_ARB"}},
    {"link and validate swapped",
     [](auto& c) { std::swap(c[nth(c, "glLinkProgram(30)", 1)], c[nth(c, "glValidateProgram(30)", 1)]); },
     &trace_report::startup, {"start-up", "glValidateProgram(30) and glLinkProgram(30) out of order"}},
    {"a uniform buffer on the wrong binding point",
     [](auto& c) {
         c[nth(c, "glBindBufferRange(GL_UNIFORM_BUFFER, 1,", 1)] =
             "glBindBufferRange(GL_UNIFORM_BUFFER, 0, 42, 0, 16)";
     },
     &trace_report::startup,
     {"start-up", "expected glBindBufferRange(GL_UNIFORM_BUFFER, 1, <buttontex.Lights>, 0, 16)",
      "found glBindBufferRange(GL_UNIFORM_BUFFER, 0, 42, 0, 16)"}},
    {"a texture uploaded twice",
     [](auto& c) { insert_copy(c, nth(c, "glTexImage2D", 3)); },
     &trace_report::startup, {"start-up", "unexpected glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1024"}},
    {"a draw missing",
     [](auto& c) { c.erase(c.begin() + (long)nth(c, "glDrawElements", 5, frame_start(c, 2))); },
     &trace_report::frame,
     {"frame 2", "missing glDrawElements(GL_TRIANGLES, 3, GL_UNSIGNED_INT, NULL)"}},
    {"a glUseProgram doubled",
     [](auto& c) { insert_copy(c, nth(c, "glUseProgram(30)", 7, frame_start(c, 1))); },
     &trace_report::frame, {"frame 1", "unexpected glUseProgram(30)"}},
    {"a clear doubled",
     [](auto& c) { insert_copy(c, frame_start(c, 2)); },
     &trace_report::frame, {"frame 2", "unexpected glClear("}},
    {"a texture made in a frame",
     [](auto& c) {
         c.insert(c.begin() + (long)nth(c, "glBindTexture(GL_TEXTURE_2D, 51)", 1, frame_start(c, 2)),
                  "glGenTextures(1, &60)");
     },
     &trace_report::frame, {"frame 2", "unexpected glGenTextures(1, &60)"}},
    {"the walls' material of the wrong size",
     [](auto& c) {
         c[nth(c, "glBufferData(GL_UNIFORM_BUFFER, 52, blob(52)", 3, frame_start(c, 1))] =
             "glBufferData(GL_UNIFORM_BUFFER, 64, blob(64), GL_DYNAMIC_DRAW)";
     },
     &trace_report::frame,
     {"frame 1", "expected glBufferData(GL_UNIFORM_BUFFER, 52,", "found glBufferData(GL_UNIFORM_BUFFER, 64,"}},
    {"a teardown call missing",
     [](auto& c) { c.erase(c.begin() + (long)nth(c, "glDeleteBuffers(1, &12)", 1)); },
     &trace_report::teardown, {"teardown", "missing glDeleteBuffers(1, &<buttontex.ebo>)"}},
    {"programs deleted in the wrong order",
     [](auto& c) { std::swap(c[nth(c, "glDeleteProgram(20)", 1)], c[nth(c, "glDeleteProgram(30)", 1)]); },
     &trace_report::teardown, {"teardown", "glDeleteProgram(30) and glDeleteProgram(20) out of order"}},
    {"a GL call after teardown",
     [](auto& c) { c.insert(c.begin() + (long)nth(c, "glDeleteProgram(30)", 1) + 1, "glFlush()"); },
     &trace_report::teardown, {"teardown", "unexpected glFlush() after the last expected call"}},
};

}  // namespace

// The sample dump passes as it is, frames counted.
TEST(TraceCheck, SampleRunPasses)
{
    const trace_report report = check_calls(sample_calls());
    EXPECT_EQ(report.frames, 2);
    EXPECT_TRUE(report.context.empty()) << join(report.context);
    EXPECT_TRUE(report.startup.empty()) << join(report.startup);
    EXPECT_TRUE(report.frame.empty()) << join(report.frame);
    EXPECT_TRUE(report.teardown.empty()) << join(report.teardown);
}

// Each call missing, doubled, out of order or wrong is reported in its section.
TEST(TraceCheck, ReportsEachAlteredCall)
{
    for (const alteration& a : alterations) {
        SCOPED_TRACE(a.what);
        std::vector<std::string> calls = sample_calls();
        a.apply(calls);
        const std::vector<std::string> problems = check_calls(calls).*a.section;
        const bool reported = std::any_of(problems.begin(), problems.end(), [&](const std::string& p) {
            return std::all_of(a.parts.begin(), a.parts.end(), [&](const std::string& part) {
                return p.find(part) != std::string::npos;
            });
        });
        EXPECT_TRUE(reported) << "expected a problem with " << ::testing::PrintToString(a.parts)
                              << ", got:\n" << join(problems);
    }
}
