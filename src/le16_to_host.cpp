// Raw pictures store each channel least significant byte first on every host; GL takes the
// channels as the host's own 16-bit values. A big-endian host (s390x) swaps the two bytes.
#include "le16_to_host.h"

int le16_to_host(unsigned short* values, size_t count)
{
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    for (size_t i = 0; i < count; i++)
        values[i] = __builtin_bswap16(values[i]);
#else
    (void)values;
    (void)count;
#endif
    return 0;
}
