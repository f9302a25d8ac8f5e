// program_compile and ubogen against the real GL.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "capture.h"
#include "glcontext.h"

namespace {

// A fragment shader with one error per line, to make the log as long as wanted.
std::vector<std::string> broken_fragment(int errors)
{
    std::vector<std::string> lines = {"#version 410 core\n", "out vec4 c;\n", "void main() {\n"};
    for (int i = 0; i < errors; i++)
        lines.push_back("    c = undeclared_" + std::to_string(i) + ";\n");
    lines.push_back("}\n");
    return lines;
}

const std::vector<std::string> broken_vertex = {"#version 410 core\n",
                                                "void main() { gl_Position = nope; }\n"};

struct compile_result {
    int result;
    captured output;
    unsigned int program;
};

compile_result compile(const std::vector<std::string>& vertex, const std::vector<std::string>& fragment)
{
    std::vector<const char*> v, f;
    for (const std::string& line : vertex)
        v.push_back(line.c_str());
    for (const std::string& line : fragment)
        f.push_back(line.c_str());
    compile_result r;
    r.program = glCreateProgram();
    OutputCapture capture;
    r.result = program_compile(r.program, (long)v.size(), v.data(), (long)f.size(), f.data());
    r.output = capture.finish();
    return r;
}

std::vector<std::string> lines_of(const char* const* table, size_t count)
{
    return std::vector<std::string>(table, table + count);
}

compile_result compile_buttontex()
{
    return compile(lines_of(buttontex_vertex, 29), lines_of(buttontex_fragment, 39));
}

compile_result compile_regtriangle()
{
    return compile(lines_of(regtriangle_vertex, 26), lines_of(regtriangle_fragment, 29));
}

int program_value(unsigned int program, GLenum what)
{
    int value = -1;
    glGetProgramiv(program, what, &value);
    return value;
}

int indexed(GLenum what, unsigned int index)
{
    int value = -1;
    glGetIntegeri_v(what, index, &value);
    return value;
}

}  // namespace

// The two shipped programs compile, link, and keep no shader object.
TEST(ProgramCompile, ShippedProgramsLinkAndLeaveNoShaders)
{
    REQUIRE_GL();
    for (const compile_result& r : {compile_buttontex(), compile_regtriangle()}) {
        EXPECT_EQ(r.result, 0);
        EXPECT_EQ(r.output.out, "");
        EXPECT_EQ(program_value(r.program, GL_LINK_STATUS), GL_TRUE);
        EXPECT_EQ(program_value(r.program, GL_ATTACHED_SHADERS), 0);
        glDeleteProgram(r.program);
    }
}

// A broken fragment shader prints its three lines; the log is cut at 1023 characters.
TEST(ProgramCompile, BrokenFragmentShaderReportsItsLog)
{
    REQUIRE_GL();
    compile_result r = compile(lines_of(regtriangle_vertex, 26), broken_fragment(1));
    EXPECT_EQ(r.result, -1);
    std::vector<std::string> lines = split_lines(r.output.out);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Trouble compiling the fragment shader.");
    EXPECT_GT(std::stoi(lines[1].substr(std::string("Log length ").size())), 0);
    EXPECT_NE(r.output.out.find("undeclared_0"), std::string::npos);
    glDeleteProgram(r.program);

    r = compile(lines_of(regtriangle_vertex, 26), broken_fragment(60));
    const std::string head = "Trouble compiling the fragment shader.\nLog length ";
    ASSERT_EQ(r.output.out.compare(0, head.size(), head), 0);
    EXPECT_GT(std::stoi(r.output.out.substr(head.size())), 1024);
    const size_t log_start = r.output.out.find("Log: ") + 5;
    // printf adds one newline after the log.
    EXPECT_EQ(r.output.out.size() - log_start, 1023u + 1u);
    glDeleteProgram(r.program);
}

// The vertex shader's failure prints one line; with both broken only the fragment shader is reported.
TEST(ProgramCompile, BrokenVertexShaderAndBothBroken)
{
    REQUIRE_GL();
    compile_result r = compile(broken_vertex, lines_of(regtriangle_fragment, 29));
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(r.output.out, "Trouble compiling the vertex shader.\n");
    glDeleteProgram(r.program);

    r = compile(broken_vertex, broken_fragment(1));
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(split_lines(r.output.out)[0], "Trouble compiling the fragment shader.");
    EXPECT_EQ(r.output.out.find("vertex"), std::string::npos);
    glDeleteProgram(r.program);
}

// Six buffers of exactly 16, 52 and 192 bytes, each bound over its whole range at its own point.
TEST(Ubogen, GivesEachBlockItsOwnBufferAndBindingPoint)
{
    REQUIRE_GL();
    const unsigned int programs[2] = {compile_regtriangle().program, compile_buttontex().program};
    const struct { const char* name; long size; unsigned int binding; } blocks[] = {
        {"Lights", 16, 0}, {"Materials", 52, 2}, {"Matrices", 192, 4},
    };
    std::vector<unsigned int> buffers;
    for (const auto& block : blocks) {
        for (unsigned int p = 0; p < 2; p++) {
            const unsigned int binding = block.binding + p;
            OutputCapture capture;
            const unsigned int buffer = ubogen(programs[p], block.name, block.size, binding);
            EXPECT_EQ(capture.finish().out, "");
            ASSERT_NE(buffer, 0u) << block.name;
            buffers.push_back(buffer);

            int block_binding = -1;
            glGetActiveUniformBlockiv(programs[p], glGetUniformBlockIndex(programs[p], block.name),
                                      GL_UNIFORM_BLOCK_BINDING, &block_binding);
            EXPECT_EQ(block_binding, (int)binding);
            EXPECT_EQ(indexed(GL_UNIFORM_BUFFER_BINDING, binding), (int)buffer);
            EXPECT_EQ(indexed(GL_UNIFORM_BUFFER_START, binding), 0);
            EXPECT_EQ(indexed(GL_UNIFORM_BUFFER_SIZE, binding), block.size);
            int size = -1;
            glGetNamedBufferParameteriv(buffer, GL_BUFFER_SIZE, &size);
            EXPECT_EQ(size, block.size);
            int generic = -1;
            glGetIntegerv(GL_UNIFORM_BUFFER_BINDING, &generic);
            EXPECT_EQ(generic, 0);
        }
    }
    for (size_t i = 0; i < buffers.size(); i++)
        for (size_t j = i + 1; j < buffers.size(); j++)
            EXPECT_NE(buffers[i], buffers[j]);
    glDeleteBuffers((int)buffers.size(), buffers.data());
    glDeleteProgram(programs[0]);
    glDeleteProgram(programs[1]);
}

// A block the program lacks prints two lines (after a pending error's name) and makes no buffer.
TEST(Ubogen, MissingBlockMakesNothing)
{
    REQUIRE_GL();
    const unsigned int program = compile_regtriangle().program;
    unsigned int before = 0, after = 0;
    glGenBuffers(1, &before);

    OutputCapture capture;
    EXPECT_EQ(ubogen(program, "Textures", 16, 7), 0u);
    EXPECT_EQ(capture.finish().out, "Trouble with call to glGetUniformBlockIndex\n-1\n");
    EXPECT_EQ(indexed(GL_UNIFORM_BUFFER_BINDING, 7), 0);
    // GL names are handed out in order, so a buffer made in between would show as a gap.
    glGenBuffers(1, &after);
    EXPECT_EQ(after, before + 1);

    OutputCapture pending;
    EXPECT_EQ(ubogen(0xBADu, "Lights", 16, 7), 0u);  // not a program: GL_INVALID_VALUE
    EXPECT_EQ(pending.finish().out,
              "GL Error: GL_INVALID_VALUE\nTrouble with call to glGetUniformBlockIndex\n-1\n");

    glDeleteBuffers(1, &before);
    glDeleteBuffers(1, &after);
    glDeleteProgram(program);
}
