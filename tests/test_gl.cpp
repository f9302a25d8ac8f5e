// What the menu prints about its GL work: shader compile failures, missing
// uniform blocks and GL debug messages.
#include <gtest/gtest.h>

#include "support.h"

namespace {

const char* const broken[] = {"#version 410 core\n", "out vec4 c;\n", "void main() { c = nope; }\n"};

}  // namespace

// A broken shader is reported with its log, the fragment shader first and
// alone; a good pair links and leaves no shader attached.
TEST(Gl, ProgramCompileReportsBrokenShaders)
{
    REQUIRE_GL();
    const struct { bool vertex_ok, fragment_ok; int result; std::string out; } cases[] = {
        {true, false, -1, "Trouble compiling the fragment shader.\nLog length "},
        {false, true, -1, "Trouble compiling the vertex shader.\n"},
        {false, false, -1, "Trouble compiling the fragment shader.\nLog length "},
        {true, true, 0, ""},
    };
    for (const auto& c : cases) {
        const unsigned int program = glCreateProgram();
        int result = 0, linked = 0, attached = -1;
        const captured printed = capture([&] {
            result = program_compile(program, c.vertex_ok ? 26 : 3, c.vertex_ok ? regtriangle_vertex : broken,
                                     c.fragment_ok ? 29 : 3, c.fragment_ok ? regtriangle_fragment : broken);
        });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(printed.out.substr(0, c.out.size()), c.out);
        if (!c.fragment_ok) {  // the log itself, after the length
            EXPECT_NE(printed.out.find("\nLog: "), std::string::npos) << printed.out;
            EXPECT_NE(printed.out.find("nope"), std::string::npos) << printed.out;
            EXPECT_EQ(printed.out.find("vertex"), std::string::npos) << printed.out;
        }
        glGetProgramiv(program, GL_LINK_STATUS, &linked);
        glGetProgramiv(program, GL_ATTACHED_SHADERS, &attached);
        EXPECT_EQ(linked != 0, c.result == 0);
        EXPECT_TRUE(c.result != 0 || attached == 0) << "shaders left behind";
        glDeleteProgram(program);
    }
}

// A block the program lacks is reported, with the GL error when there is one,
// and gets no buffer.
TEST(Gl, UbogenReportsMissingBlocks)
{
    REQUIRE_GL();
    const unsigned int program = glCreateProgram();
    capture([&] { program_compile(program, 26, regtriangle_vertex, 29, regtriangle_fragment); });
    const struct { unsigned int program; std::string out; } cases[] = {
        {program, "Trouble with call to glGetUniformBlockIndex\n-1\n"},
        {program + 1000, "GL Error: GL_INVALID_VALUE\nTrouble with call to glGetUniformBlockIndex\n-1\n"},
    };
    for (const auto& c : cases) {
        unsigned int before = 0, after = 0, result = 1;
        glGenBuffers(1, &before);
        EXPECT_EQ(capture([&] { result = ubogen(c.program, "Nowhere", 16, 0); }).out, c.out);
        glGenBuffers(1, &after);
        EXPECT_EQ(result, 0u);
        EXPECT_EQ(after, before + 1) << "a buffer was made";
    }
    glDeleteProgram(program);
}

// A debug message prints as one block; unknown enums leave their lines empty;
// the few noisy ids print nothing.
TEST(Gl, DebugMessagesPrintAsBlocks)
{
    const struct { GLenum source, type; unsigned int id; GLenum severity; std::string out; } cases[] = {
        {GL_DEBUG_SOURCE_API, GL_DEBUG_TYPE_ERROR, 1282, GL_DEBUG_SEVERITY_HIGH,
         "---------------\nDebug message (1282): text\nSource: API\nType: Error\nSeverity: high\n\n"},
        {GL_DEBUG_SOURCE_SHADER_COMPILER, GL_DEBUG_TYPE_PERFORMANCE, 4294967295u, GL_DEBUG_SEVERITY_NOTIFICATION,
         "---------------\nDebug message (4294967295): text\nSource: Shader Compiler\nType: Performance\nSeverity: notification\n\n"},
        {0, 1, 2, 3, "---------------\nDebug message (2): text\n\n\n\n\n"},
        {GL_DEBUG_SOURCE_API, GL_DEBUG_TYPE_OTHER, 131185, GL_DEBUG_SEVERITY_NOTIFICATION, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(capture([&] { glDebugOutput(c.source, c.type, c.id, c.severity, 4, "text", nullptr); }).out, c.out);
}
