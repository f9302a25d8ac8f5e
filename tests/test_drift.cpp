// The background's drift over the first frames of a run: it lives in render's
// statics, so this binary holds the first and only frames of its process.
#include <gtest/gtest.h>

#include "glcontext.h"
#include "glrecord.h"
#include "menuscene.h"

// Frame 1 shows 0.2 (x) and 0.5 (y); x turns at the top on frame 81, holds on
// frame 82, then goes down again; the turns come every 402 frames.
TEST(BackgroundDrift, BouncesWithAPeriodOf402Frames)
{
    REQUIRE_GL();
    MenuScene scene;
    GlRecorder recorder;
    const point_t nowhere = {2, 2};
    for (int frame = 1; frame <= 500; frame++)
        scene.draw(0, nowhere, 0);

    // The background's model matrix is the first model upload of each frame.
    std::vector<float> x, y;
    for (const gl_upload& u : recorder.uploads) {
        if (u.target == GL_UNIFORM_BUFFER && u.offset == 128 && u.buffer == scene.buttontex.ubo_matrices) {
            const auto* m = reinterpret_cast<const float*>(u.bytes.data());
            if (m[14] == -4.0f) {
                x.push_back(m[12]);
                y.push_back(m[13]);
            }
        }
    }
    ASSERT_EQ(x.size(), 500u);
    const auto shown = [](double offset) { return 4 * (float)(0.5 * offset); };
    EXPECT_EQ(x[0], shown(0.2));
    EXPECT_EQ(y[0], shown(0.5));
    EXPECT_EQ(x[80], shown(1.0000000000000007));
    EXPECT_EQ(x[81], shown(1.0000000000000007));
    EXPECT_EQ(x[82], shown(0.9900000000000007));

    std::vector<int> held;
    for (size_t i = 1; i < x.size(); i++)
        if (x[i] == x[i - 1])
            held.push_back((int)i + 1);
    EXPECT_EQ(held, (std::vector<int>{82, 283, 484}));
}
