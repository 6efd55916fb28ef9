#include "platform/Shell.h"

#include "platform/Files.h"
#include "platform/Path.h"

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace za {

namespace {

std::u16string Trim(const std::u16string& s) {
    size_t b = 0;
    size_t e = s.size();
    while (b < e && s[b] <= u' ') {
        ++b;
    }
    while (e > b && s[e - 1] <= u' ') {
        --e;
    }
    std::u16string r = s.substr(b, e - b);
    if (r.size() >= 2 && r.front() == u'"' && r.back() == u'"') {
        r = r.substr(1, r.size() - 2);
    }
    return r;
}

// A program to start rather than a document ("c:\windows\notepad.exe").
bool IsProgram(const std::u16string& target) {
    const std::u16string ext = LowerCase(ExtractFileExt(target));
    return ext == u".exe" || ext == u".com" || ext == u".bat" || ext == u".cmd" ||
           LowerCase(ExtractFileName(target)) == u"notepad";
}

bool IsAddress(const std::u16string& target) {
    const std::u16string lower = LowerCase(target);
    return lower.find(u"://") != std::u16string::npos || lower.rfind(u"mailto:", 0) == 0 ||
           lower.rfind(u"www.", 0) == 0;
}

// Full path of a program on PATH, or "".
std::string FindOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string dirs = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) {
            end = dirs.size();
        }
        // An empty entry means the current folder.
        std::string candidate = end > start ? dirs.substr(start, end - start) : std::string(1, '.');
        candidate.push_back('/');
        candidate.append(program);
        if (access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        start = end + 1;
    }
    return {};
}

} // namespace

void ShellOpen(const std::u16string& program, const std::u16string& parameters) {
    try {
        const std::u16string prog = Trim(program);
        const std::u16string params = Trim(parameters);
        std::u16string target;
        if (IsProgram(prog)) {
            // A Windows program with a document: the desktop opens the document.
            target = params;
        } else {
            target = prog;
        }
        if (target.empty()) {
            return;
        }
        const std::string arg = IsAddress(target) ? ToUtf8(target) : ToNativePath(target);
        const std::string opener = FindOnPath("xdg-open");
        if (opener.empty() || arg.empty()) {
            return;
        }
        // Everything the children use is prepared before fork.
        char* const argv[] = {const_cast<char*>("xdg-open"), const_cast<char*>(arg.c_str()),
                              nullptr};
        const pid_t child = fork();
        if (child < 0) {
            return;
        }
        if (child == 0) {
            // Intermediate child: a new session, a grandchild, and out; the
            // grandchild is adopted by init, so no zombie stays behind.
            setsid();
            const pid_t grandchild = fork();
            if (grandchild == 0) {
                const int devnull = open("/dev/null", O_RDWR);
                if (devnull >= 0) {
                    dup2(devnull, 0);
                    dup2(devnull, 1);
                    dup2(devnull, 2);
                    if (devnull > 2) {
                        close(devnull);
                    }
                }
                execv(opener.c_str(), argv);
                _exit(127);
            }
            _exit(0);
        }
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    } catch (...) {
        // Fire-and-forget: nothing to report.
    }
}

} // namespace za
