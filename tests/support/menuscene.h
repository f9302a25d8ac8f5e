// Everything a frame of the menu needs, made the way the program's start-up
// makes it, with small pictures made by the test, drawn into an offscreen
// 1920x1080 target. Needs the test GL context.
#ifndef TARNWICK_TEST_MENUSCENE_H
#define TARNWICK_TEST_MENUSCENE_H

#include <array>
#include <vector>

#include "tarnwick.h"

constexpr int screen_width = 1920;
constexpr int screen_height = 1080;

using rgba = std::array<int, 4>;

// The test picture of button i: four opaque quadrants, told apart by green
// (top 200, bottom 60) and blue (right 200, left 60), with red 10 + 20 i,
// well below the red of the lit gold.
rgba button_colour(int button, bool top, bool right);

class MenuScene {
public:
    MenuScene();
    ~MenuScene();
    MenuScene(const MenuScene&) = delete;
    MenuScene& operator=(const MenuScene&) = delete;

    // Draws one frame for the cursor point and mix value w.
    void draw(double t, point_t cursor, double w);
    // Draws one frame and reads it back for pixel().
    void frame(double t, point_t cursor, double w);
    // A pixel of the last frame, x from the left and y from the top.
    rgba pixel(int x, int y) const;
    // Makes button `button` fully transparent, to show the material beneath.
    void make_transparent(int button);

    slpack buttontex{};
    slpack regtriangle{};
    unsigned int button_tex[8] = {};
    unsigned int background_tex = 0;
    long hover[8] = {};
    float scratch[44] = {};

private:
    unsigned int fbo_ = 0;
    unsigned int colour_ = 0;
    std::vector<unsigned char> pixels_;
};

// Where a point of the panel (panel units, z above the panel) lands on the
// screen for panel depth offset Z, in pixels from the left and from the top.
struct screen_xy {
    double x;
    double y;
};
screen_xy project_panel_point(double px, double py, double pz, float panel_depth);

// The screen rectangle of button i's un-lifted face, in pixels (left < right, top < bottom).
struct screen_rect {
    double left, right, top, bottom;
};
screen_rect face_on_screen(int button, float panel_depth);

// Screen pixels to the cursor point's screen fractions.
point_t cursor_at(double x, double y);

#endif
