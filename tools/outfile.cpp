// Input that is only ever a regular file, and output files that are renamed into
// place only when complete, so that an error or a signal never leaves a
// half-written picture under the target's name.
#include "outfile.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The temporary file being written, kept where a signal handler may read it:
// the handler can use nothing that allocates or locks.
char pending[PATH_MAX];

const int ending_signals[] = {SIGHUP, SIGINT, SIGTERM, SIGXFSZ};

void remove_pending(int sig)
{
    if (pending[0])
        unlink(pending);
    signal(sig, SIG_DFL);
    raise(sig);  // ends the program as the signal would have, once this handler returns
}

// Signals that were ignored when we started stay ignored (nohup, background jobs).
void catch_signals()
{
    static bool caught = false;
    for (int sig : ending_signals) {
        struct sigaction old = {};
        if (caught || (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN))
            continue;
        struct sigaction action = {};
        action.sa_handler = remove_pending;
        sigemptyset(&action.sa_mask);
        sigaction(sig, &action, nullptr);
    }
    caught = true;
}

// Holds those signals while `pending` and the file system may disagree.
struct signals_held {
    sigset_t old;
    signals_held()
    {
        sigset_t set;
        sigemptyset(&set);
        for (int sig : ending_signals)
            sigaddset(&set, sig);
        sigprocmask(SIG_BLOCK, &set, &old);
    }
    ~signals_held() { sigprocmask(SIG_SETMASK, &old, nullptr); }
    signals_held(const signals_held&) = delete;
    signals_held& operator=(const signals_held&) = delete;
};

std::string folder_of(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// Follows `out.path` through symbolic links to the file that writing it changes,
// which need not exist yet; `found` tells whether it does, `st` is then its status.
bool follow_links(outfile& out, struct stat& st, bool& found, std::string& err)
{
    out.target = out.path;
    for (int hops = 0; hops < 40; hops++) {
        found = lstat(out.target.c_str(), &st) == 0;
        if (!found || !S_ISLNK(st.st_mode))
            return true;
        char link[PATH_MAX];
        const ssize_t n = readlink(out.target.c_str(), link, sizeof link);
        if (n < 0) {
            err = out.path + ": cannot create: " + strerror(errno);
            return false;
        }
        const std::string to(link, (size_t)n);
        out.target = !to.empty() && to[0] == '/' ? to : folder_of(out.target) + "/" + to;
    }
    err = out.path + ": cannot create: " + strerror(ELOOP);
    return false;
}

// Gives the new file the owner and group of the one it replaces where the user
// may: root may give both, others at least a group they belong to.
void keep_owner(int fd, const struct stat& st)
{
    if (fchown(fd, st.st_uid, st.st_gid) != 0 && fchown(fd, (uid_t)-1, st.st_gid) != 0)
        return;  // neither allowed (EPERM, or ids unknown here: EINVAL): the user's own, as a copy
}

// Renames the finished file onto its target. An added file never replaces what
// took its name meanwhile; where the file system cannot rename without replacing
// (EINVAL), the name gets a last look instead.
bool put_in_place(const outfile& out)
{
    if (out.mode == out_replace)
        return rename(out.temp.c_str(), out.target.c_str()) == 0;
    if (renameat2(AT_FDCWD, out.temp.c_str(), AT_FDCWD, out.target.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL)
        return false;
    struct stat st;
    if (lstat(out.target.c_str(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return rename(out.temp.c_str(), out.target.c_str()) == 0;
}

}  // namespace

int open_input(const std::string& path, struct stat& st, std::string& err)
{
    // Non-blocking, so that a FIFO is refused below instead of waiting for a writer.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        err = path + ": cannot open: " + strerror(errno);
        return -1;
    }
    if (fstat(fd, &st) != 0)
        err = path + ": cannot read: " + strerror(errno);
    else if (!S_ISREG(st.st_mode))
        err = path + ": not a regular file";
    else
        return fd;
    close(fd);
    return -1;
}

bool distinct_files(const std::string& in, const std::string& out, std::string& err)
{
    struct stat a, b;
    if (stat(in.c_str(), &a) != 0 || stat(out.c_str(), &b) != 0 || a.st_dev != b.st_dev ||
        a.st_ino != b.st_ino)
        return true;
    err = out + ": is the input file; the output must go to another file";
    return false;
}

outfile::~outfile()
{
    outfile_abandon(*this);
}

bool outfile_open(outfile& out, const std::string& path, out_mode mode, std::string& err)
{
    out.path = path;
    out.mode = mode;
    if (path.empty()) {
        err = "the output file name is empty";
        return false;
    }
    struct stat st;
    bool found = false;
    if (mode == out_add) {
        out.target = path;
        found = lstat(path.c_str(), &st) == 0;
        if (found) {
            err = path + ": cannot create: " + strerror(EEXIST);
            return false;
        }
    } else if (!follow_links(out, st, found, err)) {
        return false;
    }
    if (found && !S_ISREG(st.st_mode)) {
        err = path + ": cannot replace: " +
              (S_ISDIR(st.st_mode) ? strerror(EISDIR) : "not a regular file");
        return false;
    }
    // Renaming needs only the folder, but a file the user may not write is theirs
    // to keep, as it would be from any program that writes it in place.
    if (found && faccessat(AT_FDCWD, out.target.c_str(), W_OK, AT_EACCESS) != 0) {
        err = path + ": cannot replace: " + strerror(errno);
        return false;
    }
    const mode_t mask = umask(0);
    umask(mask);
    const mode_t file_mode = found ? st.st_mode & 07777 : 0666 & ~mask;
    // In the target's folder, so that the final rename cannot cross file systems;
    // of fixed length, so that any name the target may have leaves room for it.
    const std::string folder = folder_of(out.target);
    const std::string temp = folder + "/.rgbatool-XXXXXX";
    if (temp.size() >= sizeof pending) {
        err = path + ": cannot create: " + strerror(ENAMETOOLONG);
        return false;
    }
    catch_signals();
    signals_held held;
    memcpy(pending, temp.c_str(), temp.size() + 1);
    const int fd = mkostemp(pending, O_CLOEXEC);
    if (fd < 0) {
        // The picture could not even begin: its folder is the reason.
        const std::string where = folder == "." ? "the current folder" : "folder " + folder;
        err = path + ": cannot write into " + where + ": " + strerror(errno);
        pending[0] = '\0';
        return false;
    }
    out.temp = pending;
    if (found)
        keep_owner(fd, st);
    // mkostemp makes the file private; it gets the mode the target has or would get,
    // after fchown, which may clear the set-id bits.
    out.file = fchmod(fd, file_mode) == 0 ? fdopen(fd, "wb") : nullptr;
    if (!out.file) {
        err = path + ": cannot create: " + strerror(errno);
        close(fd);
        outfile_abandon(out);
        return false;
    }
    return true;
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
    signals_held held;
    if (!put_in_place(out)) {
        err = out.path + (out.mode == out_add ? ": cannot create: " : ": cannot replace: ") +
              strerror(errno);
        outfile_abandon(out);
        return false;
    }
    pending[0] = '\0';
    out.temp.clear();
    return true;
}

void outfile_abandon(outfile& out)
{
    if (out.file)
        fclose(out.file);
    out.file = nullptr;
    signals_held held;
    if (!out.temp.empty())
        unlink(out.temp.c_str());
    pending[0] = '\0';
    out.temp.clear();
}

bool outfile_finish(outfile& out, const unsigned char* data, size_t size, std::string& err)
{
    if (fwrite(data, 1, size, out.file) != size) {
        err = out.path + ": cannot write: " + strerror(errno);
        outfile_abandon(out);
        return false;
    }
    return outfile_commit(out, err);
}

bool write_whole_file(const std::string& path, const unsigned char* data, size_t size,
                      out_mode mode, std::string& err)
{
    outfile out;
    return outfile_open(out, path, mode, err) && outfile_finish(out, data, size, err);
}
