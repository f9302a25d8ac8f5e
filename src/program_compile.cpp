// Compiles a vertex and a fragment shader from arrays of source lines into a
// program and links it.
#include <cstdio>

#include "tarnwick.h"

namespace {

unsigned int attach_and_compile(unsigned int program, GLenum stage, long count,
                                const char* const* lines)
{
    unsigned int shader = glCreateShader(stage);
    glShaderSource(shader, (GLsizei)count, lines, nullptr);
    glAttachShader(program, shader);
    glCompileShader(shader);
    return shader;
}

bool compiled(unsigned int shader)
{
    int status = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    return status != 0;
}

}  // namespace

int program_compile(unsigned int program, long vertex_count, const char* const* vertex_lines,
                    long fragment_count, const char* const* fragment_lines)
{
    // The fragment shader is compiled first and a failure stops there: one
    // broken shader at a time is easier to read than two logs.
    unsigned int fragment =
        attach_and_compile(program, GL_FRAGMENT_SHADER, fragment_count, fragment_lines);
    if (!compiled(fragment)) {
        puts("Trouble compiling the fragment shader.");
        int log_length = 0;
        glGetShaderiv(fragment, GL_INFO_LOG_LENGTH, &log_length);
        printf("Log length %d\n", log_length);
        char log[1024] = {0};
        glGetShaderInfoLog(fragment, (GLsizei)sizeof log, nullptr, log);
        printf("Log: %s\n", log);
        return -1;
    }

    unsigned int vertex = attach_and_compile(program, GL_VERTEX_SHADER, vertex_count, vertex_lines);
    if (!compiled(vertex)) {
        puts("Trouble compiling the vertex shader.");
        return -1;
    }

    // No link check here: a program that failed to link has no active uniform
    // blocks, so the first ubogen on it reports the failure.
    glLinkProgram(program);
    glValidateProgram(program);

    glDetachShader(program, vertex);
    glDetachShader(program, fragment);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    return 0;
}
