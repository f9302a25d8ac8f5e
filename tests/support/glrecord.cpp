#include "glrecord.h"

#include <cstdio>
#include <cstdlib>

namespace {

GlRecorder* active = nullptr;
PFNGLBUFFERDATAPROC real_buffer_data = nullptr;
PFNGLBUFFERSUBDATAPROC real_buffer_sub_data = nullptr;
PFNGLDRAWELEMENTSPROC real_draw_elements = nullptr;

unsigned int bound(GLenum query)
{
    int name = 0;
    glGetIntegerv(query, &name);
    return (unsigned int)name;
}

GLenum binding_query(GLenum target)
{
    switch (target) {
    case GL_ARRAY_BUFFER: return GL_ARRAY_BUFFER_BINDING;
    case GL_ELEMENT_ARRAY_BUFFER: return GL_ELEMENT_ARRAY_BUFFER_BINDING;
    case GL_UNIFORM_BUFFER: return GL_UNIFORM_BUFFER_BINDING;
    default: return 0;
    }
}

void record(GLenum target, long offset, long size, const void* data)
{
    gl_upload upload{target, binding_query(target) ? bound(binding_query(target)) : 0, offset, {}};
    if (data) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        upload.bytes.assign(bytes, bytes + size);
    }
    active->uploads.push_back(std::move(upload));
}

void GLAD_API_PTR buffer_data(GLenum target, GLsizeiptr size, const void* data, GLenum usage)
{
    record(target, -1, (long)size, data);
    real_buffer_data(target, size, data, usage);
}

void GLAD_API_PTR buffer_sub_data(GLenum target, GLintptr offset, GLsizeiptr size, const void* data)
{
    record(target, (long)offset, (long)size, data);
    real_buffer_sub_data(target, offset, size, data);
}

void GLAD_API_PTR draw_elements(GLenum mode, GLsizei count, GLenum type, const void* indices)
{
    gl_draw draw{count, bound(GL_CURRENT_PROGRAM), bound(GL_TEXTURE_BINDING_2D), {}};
    for (auto it = active->uploads.rbegin(); it != active->uploads.rend(); ++it) {
        if (it->target == GL_ARRAY_BUFFER) {
            const auto* floats = reinterpret_cast<const float*>(it->bytes.data());
            draw.vertices.assign(floats, floats + it->bytes.size() / sizeof(float));
            break;
        }
    }
    active->draws.push_back(std::move(draw));
    real_draw_elements(mode, count, type, indices);
}

}  // namespace

GlRecorder::GlRecorder()
{
    if (active) {
        fprintf(stderr, "GlRecorder: only one recorder at a time\n");
        abort();
    }
    active = this;
    real_buffer_data = glad_glBufferData;
    real_buffer_sub_data = glad_glBufferSubData;
    real_draw_elements = glad_glDrawElements;
    glad_glBufferData = buffer_data;
    glad_glBufferSubData = buffer_sub_data;
    glad_glDrawElements = draw_elements;
}

GlRecorder::~GlRecorder()
{
    glad_glBufferData = real_buffer_data;
    glad_glBufferSubData = real_buffer_sub_data;
    glad_glDrawElements = real_draw_elements;
    active = nullptr;
}
