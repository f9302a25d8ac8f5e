// Gives one uniform block of a linked program its own uniform buffer on a
// fixed binding point.
#include <cstdio>

#include "tarnwick.h"

unsigned int ubogen(unsigned int program, const char* block_name, long size, unsigned int binding)
{
    unsigned int index = glGetUniformBlockIndex(program, block_name);
    if (index == GL_INVALID_INDEX) {
        unsigned int error = glGetError();
        if (error != GL_NO_ERROR)
            show_glerror(error);
        puts("Trouble with call to glGetUniformBlockIndex");
        printf("%d\n", (int)index);
        return 0;
    }
    glUniformBlockBinding(program, index, binding);
    // std140 rounds a block up (Materials' 52 bytes to 64); a buffer smaller than the
    // size the GL reports leaves the shader's reads undefined.
    int block_size = 0;
    glGetActiveUniformBlockiv(program, index, GL_UNIFORM_BLOCK_DATA_SIZE, &block_size);
    if (block_size > size)
        size = block_size;

    unsigned int buffer = 0;
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_UNIFORM_BUFFER, buffer);
    glBufferData(GL_UNIFORM_BUFFER, size, nullptr, GL_DYNAMIC_DRAW);
    glBindBuffer(GL_UNIFORM_BUFFER, 0);

    glBindBufferRange(GL_UNIFORM_BUFFER, binding, buffer, 0, size);
    // The range binding also sets the generic binding point; clear it again.
    glBindBuffer(GL_UNIFORM_BUFFER, 0);
    return buffer;
}
