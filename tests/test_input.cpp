// The key, mouse-button and framebuffer-size callbacks.
#include <gtest/gtest.h>

#include "capture.h"
#include "glcontext.h"

namespace {

std::string click(int button, int action)
{
    OutputCapture capture;
    mouse_button_callback(test_window(), button, action, 0);
    return capture.finish().out;
}

}  // namespace

// Only an Escape press asks the window to close.
TEST(KeyCallback, EscapePressClosesNothingElseDoes)
{
    REQUIRE_GL();
    GLFWwindow* window = test_window();
    const int ignored[][2] = {
        {GLFW_KEY_ESCAPE, GLFW_REPEAT}, {GLFW_KEY_ESCAPE, GLFW_RELEASE},
        {GLFW_KEY_Q, GLFW_PRESS},       {GLFW_KEY_ENTER, GLFW_PRESS},
    };
    for (const auto& event : ignored) {
        glfwSetWindowShouldClose(window, GLFW_FALSE);
        key_callback(window, event[0], 0, event[1], 0);
        EXPECT_FALSE(glfwWindowShouldClose(window)) << event[0] << " " << event[1];
    }
    key_callback(window, GLFW_KEY_ESCAPE, 9, GLFW_PRESS, GLFW_MOD_SHIFT);
    EXPECT_TRUE(glfwWindowShouldClose(window));
    glfwSetWindowShouldClose(window, GLFW_FALSE);
}

// A left press reports every hovered button, lowest index first; nothing else reports.
TEST(MouseButtonCallback, LeftPressReportsHoveredButtons)
{
    REQUIRE_GL();
    long flags[8] = {0, 1, 0, 0, 2, 0, 0, 1};
    mp = flags;
    EXPECT_EQ(click(GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS),
              "Pressing button 1: Coord\nPressing button 4: Observe\nPressing button 7: Quit\n");
    EXPECT_EQ(click(GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE), "");
    EXPECT_EQ(click(GLFW_MOUSE_BUTTON_RIGHT, GLFW_PRESS), "");
    EXPECT_EQ(click(GLFW_MOUSE_BUTTON_MIDDLE, GLFW_PRESS), "");

    long none[8] = {0};
    mp = none;
    EXPECT_EQ(click(GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS), "");
    mp = nullptr;
}

TEST(FramebufferSizeCallback, SetsTheViewport)
{
    REQUIRE_GL();
    framebuffer_size_callback(test_window(), 123, 45);
    int viewport[4] = {-1, -1, -1, -1};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], 0);
    EXPECT_EQ(viewport[1], 0);
    EXPECT_EQ(viewport[2], 123);
    EXPECT_EQ(viewport[3], 45);
}
