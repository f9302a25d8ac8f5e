// Output files that are renamed into place only when complete, so that an
// error never leaves a half-written picture under the target's name.
#include "outfile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

outfile::~outfile()
{
    outfile_abandon(*this);
}

bool outfile_open(outfile& out, const std::string& path, std::string& err)
{
    out.path = path;
    // Same directory as the target, so that the final rename cannot cross file systems.
    // The counter only matters when a stale file of a dead process has our pid.
    for (int attempt = 0; attempt < 100; attempt++) {
        out.temp = path + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(attempt);
        const int fd = open(out.temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            break;
        out.file = fdopen(fd, "wb");
        if (out.file)
            return true;
        err = path + ": cannot write: " + strerror(errno);
        close(fd);
        unlink(out.temp.c_str());
        out.temp.clear();
        return false;
    }
    err = path + ": cannot create: " + strerror(errno);
    out.temp.clear();
    return false;
}

bool outfile_commit(outfile& out, std::string& err)
{
    const bool written = !ferror(out.file);
    const bool closed = fclose(out.file) == 0;
    out.file = nullptr;
    if (!written || !closed) {
        err = out.path + ": cannot write: " + strerror(errno);
        outfile_abandon(out);
        return false;
    }
    if (rename(out.temp.c_str(), out.path.c_str()) != 0) {
        err = out.path + ": cannot replace: " + strerror(errno);
        outfile_abandon(out);
        return false;
    }
    out.temp.clear();
    return true;
}

void outfile_abandon(outfile& out)
{
    if (out.file)
        fclose(out.file);
    out.file = nullptr;
    if (!out.temp.empty())
        unlink(out.temp.c_str());
    out.temp.clear();
}

bool write_whole_file(const std::string& path, const unsigned char* data, size_t size,
                      std::string& err)
{
    outfile out;
    if (!outfile_open(out, path, err))
        return false;
    if (fwrite(data, 1, size, out.file) != size) {
        err = path + ": cannot write: " + strerror(errno);
        return false;
    }
    return outfile_commit(out, err);
}
