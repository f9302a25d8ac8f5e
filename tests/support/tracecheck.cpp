#include "tracecheck.h"

#include <algorithm>
#include <map>

// Expected calls are patterns over the dump's text: '*' stands for any run of
// characters, <name> for a GL name or number that the first match binds and
// every later one must repeat. So the frames are checked against the very
// names that start-up made, without assuming how the driver numbers them.
//
// A "GL call" here is an OpenGL function (gl...). The GLX functions (glX...)
// are GLFW binding the context to the X window: it creates, makes current,
// swaps and destroys it. They are not compared with the expected calls; the swaps
// only mark where each frame ends, and the context request is checked apart.

namespace {

struct call {
    long number;
    std::string text;  // e.g. "glCreateProgram() = 1"
};

using names = std::map<std::string, std::string>;
using patterns = std::vector<std::string>;

std::string function_of(const std::string& text)
{
    return text.substr(0, text.find('('));
}

// A call line is "<number> <call>". Comments and the blank lines between
// frames are no calls, and calls marked "// fake" are apitrace's own
// additions for replay, not calls the program made.
bool parse_call(const std::string& line, call* c)
{
    const size_t space = line.find(' ');
    if (line.empty() || line[0] < '0' || line[0] > '9' || space == std::string::npos)
        return false;
    const std::string fake = " // fake";
    if (line.size() >= fake.size() && line.compare(line.size() - fake.size(), fake.size(), fake) == 0)
        return false;
    c->number = std::stol(line.substr(0, space));
    c->text = line.substr(space + 1);
    return true;
}

bool name_char(char ch)
{
    return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') ||
           ch == '_';
}

bool matches(const char* p, const char* t, names& bound)
{
    for (; *p; p++, t++) {
        if (*p == '*') {
            for (const char* rest = t;; rest++) {
                names trial = bound;
                if (matches(p + 1, rest, trial)) {
                    bound.swap(trial);
                    return true;
                }
                if (!*rest)
                    return false;
            }
        }
        if (*p == '<') {
            const char* close = p + 1;
            while (*close != '>')
                close++;
            size_t length = 0;
            while (name_char(t[length]))
                length++;
            const std::string key(p + 1, close), value(t, length);
            if (length == 0 || (bound.count(key) && bound[key] != value))
                return false;
            bound[key] = value;
            p = close;
            t += length - 1;
            continue;
        }
        if (*p != *t)
            return false;
    }
    return *t == '\0';
}

// Binds the pattern's names only when the whole call matches.
bool match(const std::string& pattern, const call& c, names& bound)
{
    names trial = bound;
    if (!matches(pattern.c_str(), c.text.c_str(), trial))
        return false;
    bound.swap(trial);
    return true;
}

bool fits(const std::string& pattern, const call& c, const names& bound)
{
    names trial = bound;
    return matches(pattern.c_str(), c.text.c_str(), trial);
}

// Says how calls[i] differs from expected[i]: missing, unexpected, swapped with the next, or other.
std::string difference(const std::vector<call>& calls, const patterns& expected, size_t i,
                       const names& bound)
{
    if (i >= calls.size())
        return "missing " + expected[i] + " at the end";
    const std::string at = "call " + std::to_string(calls[i].number) + ": ";
    if (i >= expected.size())
        return at + "unexpected " + calls[i].text + " after the last expected call";
    const bool next_is_this = i + 1 < calls.size() && fits(expected[i], calls[i + 1], bound);
    const bool this_is_next = i + 1 < expected.size() && fits(expected[i + 1], calls[i], bound);
    if (next_is_this && this_is_next)
        return at + calls[i].text + " and " + calls[i + 1].text + " out of order";
    if (next_is_this)
        return at + "unexpected " + calls[i].text;
    if (this_is_next)
        return at + "missing " + expected[i] + " before " + calls[i].text;
    return at + "expected " + expected[i] + ", found " + calls[i].text;
}

// The first difference between a section's calls and its expected calls, if any.
std::vector<std::string> compare(const std::string& where, const std::vector<call>& calls,
                                 const patterns& expected, names& bound)
{
    for (size_t i = 0; i < std::max(calls.size(), expected.size()); i++) {
        if (i < calls.size() && i < expected.size() && match(expected[i], calls[i], bound))
            continue;
        return {where + ", " + difference(calls, expected, i, bound)};
    }
    return {};
}

void append(patterns& to, const patterns& more)
{
    to.insert(to.end(), more.begin(), more.end());
}

std::string name(const std::string& pack, const std::string& object)
{
    return "<" + pack + "." + object + ">";
}

// program_compile: the fragment shader first; link, validate, then no shader is left.
patterns compile_calls(const std::string& pack, int vertex_lines, int fragment_lines)
{
    const std::string program = "<" + pack + ">";
    patterns p = {"glCreateProgram() = " + program};
    for (const std::string stage : {"FRAGMENT", "VERTEX"}) {
        const std::string shader = name(pack, stage);
        const int lines = stage == "FRAGMENT" ? fragment_lines : vertex_lines;
        append(p, {
            "glCreateShader(GL_" + stage + "_SHADER) = " + shader,
            "glShaderSource(" + shader + ", " + std::to_string(lines) +
                ", {\"#version 410 core\\n\", *}, NULL)",
            "glAttachShader(" + program + ", " + shader + ")",
            "glCompileShader(" + shader + ")",
            "glGetShaderiv(" + shader + ", GL_COMPILE_STATUS, &1)",
        });
    }
    append(p, {
        "glLinkProgram(" + program + ")",
        "glValidateProgram(" + program + ")",
        "glDetachShader(" + program + ", " + name(pack, "VERTEX") + ")",
        "glDetachShader(" + program + ", " + name(pack, "FRAGMENT") + ")",
        "glDeleteShader(" + name(pack, "VERTEX") + ")",
        "glDeleteShader(" + name(pack, "FRAGMENT") + ")",
    });
    return p;
}

// ubogen: one block of one program gets its own buffer on its binding point.
patterns ubogen_calls(const std::string& pack, const std::string& block, int size, int binding)
{
    const std::string program = "<" + pack + ">", index = name(pack, block + " index");
    const std::string buffer = name(pack, block), bytes = std::to_string(size);
    const std::string point = std::to_string(binding);
    return {
        "glGetUniformBlockIndex(" + program + ", \"" + block + "\") = " + index,
        "glUniformBlockBinding(" + program + ", " + index + ", " + point + ")",
        "glGenBuffers(1, &" + buffer + ")",
        "glBindBuffer(GL_UNIFORM_BUFFER, " + buffer + ")",
        "glBufferData(GL_UNIFORM_BUFFER, " + bytes + ", NULL, GL_DYNAMIC_DRAW)",
        "glBindBuffer(GL_UNIFORM_BUFFER, 0)",
        "glBindBufferRange(GL_UNIFORM_BUFFER, " + point + ", " + buffer + ", 0, " + bytes + ")",
        "glBindBuffer(GL_UNIFORM_BUFFER, 0)",
    };
}

// loadtex: one texture, its parameters, one upload of 16-bit RGBA and its mipmaps.
patterns loadtex_calls(int slot, int size)
{
    const std::string texture = "<texture " + std::to_string(slot) + ">";
    const std::string side = std::to_string(size);
    return {
        "glGenTextures(1, &" + texture + ")",
        "glBindTexture(GL_TEXTURE_2D, " + texture + ")",
        "glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT)",
        "glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT)",
        "glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR)",
        "glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR)",
        "glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, " + side + ", " + side +
            ", 0, GL_RGBA, GL_UNSIGNED_SHORT, blob(" + std::to_string(size * size * 8) + "))",
        "glGenerateMipmap(GL_TEXTURE_2D)",
    };
}

patterns startup_calls()
{
    patterns p = {
        "glGetIntegerv(GL_MAJOR_VERSION, &*)",
        "glGetIntegerv(GL_MINOR_VERSION, &*)",
        "glGetString(GL_VENDOR) = *",
        "glGetString(GL_RENDERER) = *",
        "glGetString(GL_VERSION) = *",
        "glGetString(GL_SHADING_LANGUAGE_VERSION) = *",
        "glGetIntegerv(GL_CONTEXT_FLAGS, &*)",
        "glEnable(GL_DEBUG_OUTPUT)",
        "glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS)",
        "glDebugMessageCallback(*, NULL)",
        "glDebugMessageControl(GL_DEBUG_SOURCE_API, GL_DEBUG_TYPE_ERROR, "
        "GL_DEBUG_SEVERITY_HIGH, 0, NULL, GL_TRUE)",
    };
    for (const std::string pack : {"buttontex", "regtriangle"}) {
        append(p, {
            "glGenVertexArrays(1, &" + name(pack, "vao") + ")",
            "glGenBuffers(1, &" + name(pack, "vbo") + ")",
            "glGenBuffers(1, &" + name(pack, "ebo") + ")",
        });
    }
    append(p, compile_calls("buttontex", 29, 39));
    append(p, compile_calls("regtriangle", 26, 29));
    // Regtriangle takes the even binding points, buttontex the odd ones.
    append(p, ubogen_calls("regtriangle", "Lights", 16, 0));
    append(p, ubogen_calls("buttontex", "Lights", 16, 1));
    append(p, ubogen_calls("regtriangle", "Materials", 52, 2));
    append(p, ubogen_calls("buttontex", "Materials", 52, 3));
    append(p, ubogen_calls("regtriangle", "Matrices", 192, 4));
    append(p, ubogen_calls("buttontex", "Matrices", 192, 5));
    for (int slot = 0; slot < 8; slot++)
        append(p, loadtex_calls(slot, 1024));
    append(p, loadtex_calls(8, 4096));
    return p;
}

patterns material_calls(const std::string& pack)
{
    return {
        "glBindBuffer(GL_UNIFORM_BUFFER, " + name(pack, "Materials") + ")",
        "glBufferData(GL_UNIFORM_BUFFER, 52, blob(52), GL_DYNAMIC_DRAW)",
        "glBindBuffer(GL_UNIFORM_BUFFER, 0)",
    };
}

// A phase's uniform upload: light, material, the three matrices, then its indices.
patterns upload_calls(const std::string& pack, int index_bytes)
{
    patterns p = {
        "glBindBuffer(GL_UNIFORM_BUFFER, " + name(pack, "Lights") + ")",
        "glBufferData(GL_UNIFORM_BUFFER, 16, blob(16), GL_DYNAMIC_DRAW)",
        "glBindBuffer(GL_UNIFORM_BUFFER, 0)",
    };
    append(p, material_calls(pack));
    const std::string bytes = std::to_string(index_bytes);
    append(p, {
        "glBindBuffer(GL_UNIFORM_BUFFER, " + name(pack, "Matrices") + ")",
        "glBufferSubData(GL_UNIFORM_BUFFER, 0, 64, blob(64))",
        "glBufferSubData(GL_UNIFORM_BUFFER, 64, 64, blob(64))",
        "glBufferSubData(GL_UNIFORM_BUFFER, 128, 64, blob(64))",
        "glBindBuffer(GL_UNIFORM_BUFFER, 0)",
        "glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, " + name(pack, "ebo") + ")",
        "glBufferData(GL_ELEMENT_ARRAY_BUFFER, " + bytes + ", blob(" + bytes + "), GL_STATIC_DRAW)",
    });
    return p;
}

patterns pointer_calls(int locations)
{
    const patterns all = {
        "glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 44, NULL)",
        "glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, 44, 0xc)",
        "glVertexAttribPointer(2, 3, GL_FLOAT, GL_FALSE, 44, 0x18)",
        "glVertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, 44, 0x24)",
    };
    return patterns(all.begin(), all.begin() + locations);
}

// One draw: the whole scratch quad streamed, then the program and its arrays only around it.
patterns draw_calls(const std::string& pack, int count, bool set_pointers)
{
    const int locations = pack == "buttontex" ? 4 : 3;
    patterns p = {
        "glBindBuffer(GL_ARRAY_BUFFER, " + name(pack, "vbo") + ")",
        "glBufferData(GL_ARRAY_BUFFER, 176, blob(176), GL_DYNAMIC_DRAW)",
    };
    if (set_pointers)
        append(p, pointer_calls(locations));
    p.push_back("glUseProgram(<" + pack + ">)");
    for (int i = 0; i < locations; i++)
        p.push_back("glEnableVertexAttribArray(" + std::to_string(i) + ")");
    p.push_back("glDrawElements(GL_TRIANGLES, " + std::to_string(count) + ", GL_UNSIGNED_INT, NULL)");
    for (int i = 0; i < locations; i++)
        p.push_back("glDisableVertexAttribArray(" + std::to_string(i) + ")");
    p.push_back("glUseProgram(0)");
    return p;
}

patterns frame_calls()
{
    patterns p = {
        "glClearColor(0.5, 0.5, 0.5, 1)",
        "glClear(GL_DEPTH_BUFFER_BIT | GL_COLOR_BUFFER_BIT)",
    };
    // Background: one textured quad.
    p.push_back("glBindVertexArray(" + name("buttontex", "vao") + ")");
    append(p, upload_calls("buttontex", 24));
    p.push_back("glBindTexture(GL_TEXTURE_2D, <texture 8>)");
    append(p, draw_calls("buttontex", 6, true));
    p.push_back("glBindVertexArray(0)");
    // Panel: 26 triangles.
    p.push_back("glBindVertexArray(" + name("regtriangle", "vao") + ")");
    append(p, upload_calls("regtriangle", 12));
    for (int i = 0; i < 26; i++)
        append(p, draw_calls("regtriangle", 3, true));
    // Walls: quad indices, the pointers once, the gold material, four quads per button.
    append(p, {
        "glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, " + name("regtriangle", "ebo") + ")",
        "glBufferData(GL_ELEMENT_ARRAY_BUFFER, 24, blob(24), GL_STATIC_DRAW)",
    });
    append(p, pointer_calls(3));
    append(p, material_calls("regtriangle"));
    for (int i = 0; i < 32; i++)
        append(p, draw_calls("regtriangle", 6, false));
    // Faces: one textured quad per button.
    p.push_back("glBindVertexArray(" + name("buttontex", "vao") + ")");
    append(p, upload_calls("buttontex", 24));
    for (int i = 0; i < 8; i++) {
        p.push_back("glBindTexture(GL_TEXTURE_2D, <texture " + std::to_string(i) + ">)");
        append(p, draw_calls("buttontex", 6, true));
    }
    p.push_back("glBindVertexArray(0)");
    return p;
}

patterns teardown_calls()
{
    patterns p;
    for (const std::string pack : {"buttontex", "regtriangle"}) {
        append(p, {
            "glDeleteVertexArrays(1, &" + name(pack, "vao") + ")",
            "glDeleteBuffers(1, &" + name(pack, "vbo") + ")",
            "glDeleteBuffers(1, &" + name(pack, "ebo") + ")",
        });
    }
    append(p, {"glDeleteProgram(<buttontex>)", "glDeleteProgram(<regtriangle>)"});
    return p;
}

// The window hints as far as GL sees them: a 4.5 core context with the debug
// flag. (Whether the window is decorated is no GL matter.)
std::vector<std::string> check_context(const std::vector<call>& requests)
{
    if (requests.size() != 1)
        return {"context: " + std::to_string(requests.size()) + " contexts requested, expected 1"};
    std::vector<std::string> problems;
    for (const char* wanted : {"GLX_CONTEXT_MAJOR_VERSION_ARB, 4, GLX_CONTEXT_MINOR_VERSION_ARB, 5",
                               "GLX_CONTEXT_PROFILE_MASK_ARB, GLX_CONTEXT_CORE_PROFILE_BIT_ARB",
                               "GLX_CONTEXT_DEBUG_BIT_ARB"}) {
        if (requests[0].text.find(wanted) == std::string::npos)
            problems.push_back("context, call " + std::to_string(requests[0].number) +
                               ": no " + wanted + " in " + requests[0].text);
    }
    return problems;
}

void add(std::vector<std::string>& to, const std::vector<std::string>& more)
{
    to.insert(to.end(), more.begin(), more.end());
}

}  // namespace

trace_report check_dump(std::istream& dump)
{
    // Before the program's first own call, GLFW makes the context and the
    // loader resolves the entry points; after start-up the first frame opens
    // with its clear; each swap ends a frame; what follows the last is teardown.
    enum { context, startup, frames } section = context;
    const std::string first_own_call = "glGetIntegerv(GL_MAJOR_VERSION, ";
    constexpr long frames_reported = 10;
    const patterns expected_startup = startup_calls(), expected_frame = frame_calls();
    trace_report report;
    names bound;
    std::vector<call> requests, calls;
    long frames_differing = 0;

    std::string line;
    call c;
    while (std::getline(dump, line)) {
        if (!parse_call(line, &c))
            continue;
        const std::string function = function_of(c.text);
        if (section == context) {
            if (function == "glXCreateContextAttribsARB")
                requests.push_back(c);
            if (c.text.compare(0, first_own_call.size(), first_own_call) != 0)
                continue;
            section = startup;
        }
        if (section == startup &&
            (function == "glClearColor" || function == "glClear" || function == "glXSwapBuffers")) {
            add(report.startup, compare("start-up", calls, expected_startup, bound));
            calls.clear();
            section = frames;
        }
        if (function == "glXSwapBuffers") {
            report.frames++;
            const std::vector<std::string> differs =
                compare("frame " + std::to_string(report.frames), calls, expected_frame, bound);
            if (!differs.empty() && frames_differing++ < frames_reported)
                add(report.frame, differs);
            calls.clear();
        } else if (function.compare(0, 3, "glX") != 0) {
            calls.push_back(c);
        }
    }

    add(report.context, check_context(requests));
    if (section == context)
        report.startup.push_back("start-up: the program's first call, " + first_own_call +
                                 "...), is not in the dump");
    else if (section == startup)
        add(report.startup, compare("start-up", calls, expected_startup, bound));
    if (section != frames || report.frames == 0)
        report.frame.push_back("no frame was drawn");
    if (frames_differing > frames_reported)
        report.frame.push_back("... and " + std::to_string(frames_differing - frames_reported) +
                               " more frames differ");
    if (section == frames)
        add(report.teardown, compare("teardown", calls, teardown_calls(), bound));
    return report;
}
