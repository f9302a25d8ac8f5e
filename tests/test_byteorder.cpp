// A picture made on one machine shows the same colours on every other: raw pictures store each
// channel least significant byte first, and the loader hands GL the channel values written,
// on big-endian hosts (s390x) too. scripts/test-arches.sh runs this on s390x under qemu.
#include "le16_to_host.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// The bytes of a raw picture as rgbatool writes them on any host: each channel value least
// significant byte first.
std::vector<unsigned char> file_bytes_of(const std::vector<unsigned short>& channels)
{
    std::vector<unsigned char> bytes;
    for (unsigned short value : channels) {
        bytes.push_back(static_cast<unsigned char>(value % 256));
        bytes.push_back(static_cast<unsigned char>(value / 256));
    }
    return bytes;
}

// The channel values that reach GL: the file copied as it lies, then put in the host's order,
// as loadtex does.
std::vector<unsigned short> channels_for_gl(const std::vector<unsigned char>& file_bytes)
{
    std::vector<unsigned short> channels(file_bytes.size() / 2);
    memcpy(channels.data(), file_bytes.data(), file_bytes.size());
    le16_to_host(channels.data(), channels.size());
    return channels;
}

}  // namespace

TEST(ByteOrder, AGoldPixelReachesGlAsGold)
{
    // Red, green, blue and alpha of a gold, each least significant byte first. Read with the
    // bytes swapped it would be purple: red 0x9cc8, green 0x4e7a, blue 0xa83a.
    const std::vector<unsigned char> file = {0x9c, 0xc8, 0x4e, 0x7a, 0xa8, 0x3a, 0xff, 0xff};
    const std::vector<unsigned short> gold = {0xc89c, 0x7a4e, 0x3aa8, 0xffff};
    EXPECT_EQ(channels_for_gl(file), gold);
}

TEST(ByteOrder, EveryChannelValueReachesGlAsWritten)
{
    std::vector<unsigned short> every_value;
    for (int value = 0; value < 65536; value++)
        every_value.push_back(static_cast<unsigned short>(value));
    EXPECT_EQ(channels_for_gl(file_bytes_of(every_value)), every_value);
}
