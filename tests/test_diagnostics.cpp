// GL error names and the GL debug-message printer.
#include <climits>
#include <gtest/gtest.h>

#include "capture.h"
#include "tarnwick.h"

namespace {

std::string error_output(unsigned int code, int* result)
{
    OutputCapture capture;
    *result = show_glerror(code);
    return capture.finish().out;
}

std::string debug_output(GLenum source, GLenum type, unsigned int id, GLenum severity,
                         GLsizei length, const char* message)
{
    OutputCapture capture;
    glDebugOutput(source, type, id, severity, length, message, nullptr);
    return capture.finish().out;
}

}  // namespace

// Every table code prints its name; anything else prints nothing; the result is always 0.
TEST(ShowGlError, NamesEveryTableCodeAndNothingElse)
{
    const std::pair<unsigned int, const char*> table[] = {
        {0x0000, "GL_NO_ERROR"},          {0x0500, "GL_INVALID_ENUM"},
        {0x0501, "GL_INVALID_VALUE"},     {0x0502, "GL_INVALID_OPERATION"},
        {0x0503, "GL_STACK_OVERFLOW"},    {0x0504, "GL_STACK_UNDERFLOW"},
        {0x0505, "GL_OUT_OF_MEMORY"},     {0x0506, "GL_INVALID_FRAMEBUFFER_OPERATION"},
    };
    int result = -1;
    for (const auto& [code, name] : table) {
        EXPECT_EQ(error_output(code, &result), std::string("GL Error: ") + name + "\n") << code;
        EXPECT_EQ(result, 0);
    }
    for (unsigned int unknown : {0x0507u, 0x04FFu, 1u, 0xFFFFFFFFu}) {
        EXPECT_EQ(error_output(unknown, &result), "") << unknown;
        EXPECT_EQ(result, 0);
    }
}

// A message block is six lines: hyphens, id and text, source, type, severity, empty.
TEST(GlDebugOutput, PrintsTheSixLineBlock)
{
    EXPECT_EQ(debug_output(GL_DEBUG_SOURCE_API, GL_DEBUG_TYPE_ERROR, 1282, GL_DEBUG_SEVERITY_HIGH,
                           9, "bad thing"),
              "---------------\n"
              "Debug message (1282): bad thing\n"
              "Source: API\n"
              "Type: Error\n"
              "Severity: high\n"
              "\n");
    EXPECT_EQ(debug_output(GL_DEBUG_SOURCE_OTHER, GL_DEBUG_TYPE_POP_GROUP, 7,
                           GL_DEBUG_SEVERITY_NOTIFICATION, 1, "x"),
              "---------------\nDebug message (7): x\nSource: Other\nType: Pop Group\n"
              "Severity: notification\n\n");
}

// The four noisy ids are dropped whole; their neighbours are not.
TEST(GlDebugOutput, DropsOnlyTheFourNoisyIds)
{
    for (unsigned int id : {131169u, 131185u, 131204u, 131218u})
        EXPECT_EQ(debug_output(GL_DEBUG_SOURCE_API, GL_DEBUG_TYPE_ERROR, id,
                               GL_DEBUG_SEVERITY_HIGH, 4, "noise"),
                  "")
            << id;
    for (unsigned int id : {131168u, 131170u, 131186u, 131219u})
        EXPECT_EQ(split_lines(debug_output(GL_DEBUG_SOURCE_API, GL_DEBUG_TYPE_ERROR, id,
                                           GL_DEBUG_SEVERITY_HIGH, 4, "kept"))
                      .size(),
                  6u)
            << id;
}

// Unknown enums leave their line empty; ids print unsigned; the text runs to its NUL.
TEST(GlDebugOutput, UnknownLabelsLargeIdsAndLyingLengths)
{
    EXPECT_EQ(debug_output(0x1234, 0x5678, 5, 0x9ABC, 3, "odd"),
              "---------------\nDebug message (5): odd\n\n\n\n\n");
    EXPECT_EQ(split_lines(debug_output(GL_DEBUG_SOURCE_APPLICATION, GL_DEBUG_TYPE_MARKER, UINT_MAX,
                                       GL_DEBUG_SEVERITY_LOW, 0, "m"))[1],
              "Debug message (4294967295): m");
    EXPECT_EQ(split_lines(debug_output(GL_DEBUG_SOURCE_SHADER_COMPILER, GL_DEBUG_TYPE_PERFORMANCE,
                                       9, GL_DEBUG_SEVERITY_MEDIUM, 2, "longer than two"))[1],
              "Debug message (9): longer than two");
}
