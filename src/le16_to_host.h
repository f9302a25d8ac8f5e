// The byte order of the raw pictures' channels. Free of GL, so that it can be tested alone on
// any architecture.
#ifndef TARNWICK_LE16_TO_HOST_H
#define TARNWICK_LE16_TO_HOST_H

#include <cstddef>

// Puts count 16-bit values stored little-endian, as in the raw pictures, into the host's byte
// order in place. Nothing to do on a little-endian host. Returns 0.
int le16_to_host(unsigned short* values, size_t count);

#endif
