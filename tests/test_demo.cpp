// The headless demo of the README's run command, with the default pictures:
// its screenshot shows labelled gold buttons on a colourful background, and
// its click on the drawn "Observe" is reported.
#include <gtest/gtest.h>
#include <png.h>
#include <set>

#include "capture.h"
#include "menuscene.h"
#include "process.h"

namespace {

struct screenshot {
    std::vector<unsigned char> rgb;
    rgba at(int x, int y) const
    {
        const size_t i = ((size_t)y * screen_width + (size_t)x) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2], 255};
    }
};

bool read_screenshot(const std::string& path, screenshot* shot)
{
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_RGB;
    if (image.width != screen_width || image.height != screen_height) {
        png_image_free(&image);
        return false;
    }
    shot->rgb.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, shot->rgb.data(), 0, nullptr) != 0;
}

bool gold(const rgba& c)
{
    return c[0] > 150 && c[0] > c[1] && c[1] > c[2] && c[2] < 120;
}

bool dark(const rgba& c)
{
    return c[0] < 90 && c[1] < 90 && c[2] < 90;
}

// One of six hue sectors, or -1 for greys.
int hue_sector(const rgba& c)
{
    const int hi = std::max({c[0], c[1], c[2]}), lo = std::min({c[0], c[1], c[2]});
    if (hi - lo < 40)
        return -1;
    if (hi == c[0])
        return c[1] >= c[2] ? 0 : 5;
    if (hi == c[1])
        return c[2] >= c[0] ? 2 : 1;
    return c[0] >= c[1] ? 4 : 3;
}

}  // namespace

TEST(Demo, ShowsLabelledGoldButtonsOnAColourfulBackground)
{
    TempDir menu;
    ASSERT_EQ(std::system((std::string(RGBATOOL_BINARY) + " defaults " + menu.path()).c_str()), 0);
    // The sanitizer runtime stays out of the demo's shell; the program's own
    // leaks are checked by the start-up tests.
    Child demo({TESTS_SOURCE_DIR "/../scripts/with-xvfb.sh", TESTS_SOURCE_DIR "/../scripts/demo.sh",
                TARNWICK_BINARY, menu.path()},
               {"LD_PRELOAD=", "ASAN_OPTIONS=detect_leaks=0"}, menu.path());
    ASSERT_EQ(demo.wait(240), 0) << demo.out() << demo.err();

    const std::string out = demo.out();
    const size_t click = out.find("Pressing button");
    ASSERT_NE(click, std::string::npos) << out;
    EXPECT_EQ(out.compare(click, 27, "Pressing button 4: Observe\n"), 0) << out;
    EXPECT_EQ(out.find("Pressing button", click + 1), std::string::npos) << out;
    EXPECT_NE(out.find("--- screenshot: " + menu.path() + "/screenshot.png"), std::string::npos);

    screenshot shot;
    ASSERT_TRUE(read_screenshot(menu.path() + "/screenshot.png", &shot));
    // Start, Coord, Edit and Quit are not hovered: dark letters on gold across their middle.
    for (int button : {0, 1, 5, 7}) {
        const screen_rect r = face_on_screen(button, 0.2f);
        int gold_pixels = 0, dark_pixels = 0, samples = 0;
        for (double fx = 0.2; fx <= 0.8; fx += 0.01) {
            for (double fy : {0.45, 0.5, 0.55}) {
                const rgba c = shot.at((int)(r.left + fx * (r.right - r.left)),
                                       (int)(r.top + fy * (r.bottom - r.top)));
                gold_pixels += gold(c);
                dark_pixels += dark(c);
                samples++;
            }
        }
        EXPECT_GT(dark_pixels, samples / 10) << "no label on button " << button;
        EXPECT_GT(gold_pixels, samples / 10) << "no gold on button " << button;
    }
    // Around the panel, the background shows many hues.
    std::set<int> hues;
    for (int x = 0; x < screen_width; x += 40)
        for (int y : {5, screen_height - 5})
            hues.insert(hue_sector(shot.at(x, y)));
    for (int y = 0; y < screen_height; y += 40)
        for (int x : {5, screen_width - 5})
            hues.insert(hue_sector(shot.at(x, y)));
    hues.erase(-1);
    EXPECT_GE(hues.size(), 5u);
}
