#include "platform/TextIO.h"

#include "platform/Path.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace za {

namespace {

constexpr int kFileNotOpenForInput = 104;
constexpr int kFileNotOpenForOutput = 105;
constexpr int kDiskWriteError = 101;
constexpr int kDiskReadError = 100;

// Writes all bytes to fd with SIGPIPE held off for this thread, so a closed
// pipe gives EPIPE instead of ending the process. Returns 0 or errno.
int WriteAllNoSigPipe(int fd, const std::string& bytes) {
    sigset_t pipeSet, oldSet;
    sigemptyset(&pipeSet);
    sigaddset(&pipeSet, SIGPIPE);
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    const bool wasPending = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipeSet, &oldSet);

    int err = 0;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            err = errno;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (err == EPIPE && !wasPending) {
        // Take the SIGPIPE this write raised before unblocking.
        const struct timespec zero = {0, 0};
        while (sigtimedwait(&pipeSet, nullptr, &zero) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &oldSet, nullptr);
    return err;
}

} // namespace

int WriteLnStdout(const std::u16string& text) {
    if (fcntl(STDOUT_FILENO, F_GETFL) < 0) {
        return kFileNotOpenForOutput;
    }
    const int err = WriteAllNoSigPipe(STDOUT_FILENO, ToUtf8(text) + "\n");
    if (err == 0) {
        return 0;
    }
    if (err == EBADF || err == EPIPE || err == EINVAL) {
        return kFileNotOpenForOutput;
    }
    return kDiskWriteError;
}

int ReadLnStdin() {
    const int flags = fcntl(STDIN_FILENO, F_GETFL);
    if (flags < 0 || (flags & O_ACCMODE) == O_WRONLY) {
        return kFileNotOpenForInput;
    }
    for (;;) {
        char c;
        const ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno == EBADF ? kFileNotOpenForInput : kDiskReadError;
        }
        if (n == 0 || c == '\n') {
            return 0;
        }
    }
}

} // namespace za
