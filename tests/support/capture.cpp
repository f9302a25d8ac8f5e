#include "capture.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <unistd.h>

namespace {

int temp_file()
{
    char name[] = "/tmp/tarnwick-capture-XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0) {
        perror("capture: mkstemp");
        abort();
    }
    unlink(name);
    return fd;
}

std::string read_all(int fd)
{
    std::string text;
    char buffer[4096];
    lseek(fd, 0, SEEK_SET);
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, (size_t)n);
    return text;
}

void flush_all()
{
    std::cout.flush();
    std::cerr.flush();
    fflush(stdout);
    fflush(stderr);
}

}  // namespace

OutputCapture::OutputCapture()
{
    flush_all();
    out_file_ = temp_file();
    err_file_ = temp_file();
    saved_out_ = dup(STDOUT_FILENO);
    saved_err_ = dup(STDERR_FILENO);
    dup2(out_file_, STDOUT_FILENO);
    dup2(err_file_, STDERR_FILENO);
}

captured OutputCapture::finish()
{
    captured result;
    if (saved_out_ < 0)
        return result;
    flush_all();
    dup2(saved_out_, STDOUT_FILENO);
    dup2(saved_err_, STDERR_FILENO);
    close(saved_out_);
    close(saved_err_);
    saved_out_ = saved_err_ = -1;
    result.out = read_all(out_file_);
    result.err = read_all(err_file_);
    close(out_file_);
    close(err_file_);
    return result;
}

OutputCapture::~OutputCapture()
{
    finish();
}

std::vector<std::string> split_lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}
