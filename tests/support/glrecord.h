// Records the buffer uploads and draws that code makes through the GL loader,
// forwarding every call to the real GL, so a test can see exactly what a frame
// streamed. One recorder at a time; it unhooks itself when destroyed.
#ifndef TARNWICK_TEST_GLRECORD_H
#define TARNWICK_TEST_GLRECORD_H

#include <vector>

#include "tarnwick.h"

struct gl_upload {
    GLenum target;        // GL_ARRAY_BUFFER, GL_UNIFORM_BUFFER, ...
    unsigned int buffer;  // the buffer bound to target at the time
    long offset;          // -1 for glBufferData
    std::vector<unsigned char> bytes;
};

struct gl_draw {
    int count;
    unsigned int program;      // the program in use
    unsigned int texture;      // bound to GL_TEXTURE_2D
    std::vector<float> vertices;  // the last array-buffer upload before the draw
};

class GlRecorder {
public:
    GlRecorder();
    ~GlRecorder();
    GlRecorder(const GlRecorder&) = delete;
    GlRecorder& operator=(const GlRecorder&) = delete;

    std::vector<gl_upload> uploads;
    std::vector<gl_draw> draws;
};

#endif
