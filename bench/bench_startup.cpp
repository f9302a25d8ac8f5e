// The parts of the menu's start-up, each against a floor measured in the same
// run: compiling each program against compiling a minimal one, and loading
// each picture against reading it and uploading it plainly, the two in turn.
// Usage: bench_startup PICTURE-FOLDER (as made by `rgbatool defaults`)
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "support.h"
#include "timing.h"
#include "upload_floor.h"

namespace {

const char* const minimal_vertex[] = {"#version 410 core\n", "void main() { gl_Position = vec4(0.0); }\n"};
const char* const minimal_fragment[] = {"#version 410 core\n", "out vec4 c;\n", "void main() { c = vec4(1.0); }\n"};

double compile_seconds(const char* const* vertex, long vertex_count, const char* const* fragment,
                       long fragment_count)
{
    return median_seconds(1, 9, [&] {
        const unsigned int program = glCreateProgram();
        program_compile(program, vertex_count, vertex, fragment_count, fragment);
        glFinish();
        glDeleteProgram(program);
    });
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: bench_startup PICTURE-FOLDER\n");
        return 2;
    }
    if (!test_window()) {
        fprintf(stderr, "bench_startup: needs an X display with GL 4.5 (try scripts/with-xvfb.sh)\n");
        return 1;
    }
    const std::string folder = argv[1];

    const double minimal = compile_seconds(minimal_vertex, 2, minimal_fragment, 3);
    report("program buttontex", compile_seconds(buttontex_vertex, 29, buttontex_fragment, 39),
           "minimal program", minimal);
    report("program regtriangle", compile_seconds(regtriangle_vertex, 26, regtriangle_fragment, 29),
           "minimal program", minimal);

    const struct { const char* file; long side; } pictures[] = {
        {"output_start.rgba", 1024}, {"output_coord.rgba", 1024},   {"output_blank.rgba", 1024},
        {"output_observe.rgba", 1024}, {"output_edit.rgba", 1024}, {"output_quit.rgba", 1024},
        {"output_spinrgb.rgba", 4096},
    };
    // The first glGenerateMipmap of a process costs the GL far more than any
    // later one, whatever the size: shown apart, and out of the loads' figures.
    std::vector<unsigned short> buffer((size_t)4096 * 4096 * 4);
    unsigned int tiny = 0;
    glGenTextures(1, &tiny);
    glBindTexture(GL_TEXTURE_2D, tiny);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 64, 64, 0, GL_RGBA, GL_UNSIGNED_SHORT, buffer.data());
    const double first_mipmap = median_seconds(0, 1, [] {
        glGenerateMipmap(GL_TEXTURE_2D);
        glFinish();
    });
    const double later_mipmap = median_seconds(0, 9, [] {
        glGenerateMipmap(GL_TEXTURE_2D);
        glFinish();
    });
    glDeleteTextures(1, &tiny);
    report("first glGenerateMipmap, 64x64", first_mipmap, "later ones", later_mipmap);
    for (const auto& p : pictures) {
        const std::string path = folder + "/" + p.file;
        std::pair<double, double> load_floor;
        const captured lines = capture([&] {  // swallows loadtex's progress lines
            load_floor = alternate_medians(1, 5,
                [&] {
                    unsigned int name = loadtex(path.c_str(), p.side, p.side);
                    glFinish();
                    glDeleteTextures(1, &name);
                },
                [&] {
                    unsigned int name = read_and_upload(path, p.side, buffer);
                    glFinish();
                    glDeleteTextures(1, &name);
                });
        });
        if (lines.out.find("Completed mipmap.") == std::string::npos) {
            fprintf(stderr, "bench_startup: %s did not load:\n%s%s", path.c_str(), lines.out.c_str(), lines.err.c_str());
            return 1;
        }
        report(p.file, load_floor.first, "read + upload", load_floor.second);
    }
    return 0;
}
