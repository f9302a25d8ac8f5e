// Prints the symbolic name of a glGetError code.
#include <array>
#include <cstdio>

#include "tarnwick.h"

namespace {

struct error_name {
    unsigned int code;
    const char* name;
};

constexpr std::array<error_name, 8> error_names = {{
    {GL_NO_ERROR,                      "GL_NO_ERROR"},
    {GL_INVALID_ENUM,                  "GL_INVALID_ENUM"},
    {GL_INVALID_VALUE,                 "GL_INVALID_VALUE"},
    {GL_INVALID_OPERATION,             "GL_INVALID_OPERATION"},
    {GL_STACK_OVERFLOW,                "GL_STACK_OVERFLOW"},
    {GL_STACK_UNDERFLOW,               "GL_STACK_UNDERFLOW"},
    {GL_OUT_OF_MEMORY,                 "GL_OUT_OF_MEMORY"},
    {GL_INVALID_FRAMEBUFFER_OPERATION, "GL_INVALID_FRAMEBUFFER_OPERATION"},
}};

}  // namespace

int show_glerror(unsigned int code)
{
    for (const error_name& e : error_names) {
        if (e.code == code) {
            printf("GL Error: %s\n", e.name);
            break;
        }
    }
    return 0;
}
