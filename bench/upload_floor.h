// The floor for loading a picture: read the file once with read(2) and hand
// it to glTexImage2D and glGenerateMipmap, with no row flip and no copies.
#ifndef TARNWICK_BENCH_UPLOAD_FLOOR_H
#define TARNWICK_BENCH_UPLOAD_FLOOR_H

#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "tarnwick.h"

// buffer must hold side * side * 4 values; the texture is left for the caller to delete.
inline unsigned int read_and_upload(const std::string& path, long side, std::vector<unsigned short>& buffer)
{
    const size_t bytes = (size_t)(side * side * 8);
    const int fd = open(path.c_str(), O_RDONLY);
    size_t got = 0;
    for (ssize_t n; fd >= 0 && got < bytes && (n = read(fd, (char*)buffer.data() + got, bytes - got)) > 0;)
        got += (size_t)n;
    if (fd >= 0)
        close(fd);
    unsigned int name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, (int)side, (int)side, 0, GL_RGBA, GL_UNSIGNED_SHORT, buffer.data());
    glGenerateMipmap(GL_TEXTURE_2D);
    return name;
}

#endif
