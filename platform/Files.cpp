#include "platform/Files.h"

#include "platform/Format.h"
#include "platform/HandleRegistry.h"
#include "platform/Path.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <limits.h>
#include <random>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace za {

namespace {

bool IsSep(char16_t c) {
    return c == u'\\' || c == u'/';
}
bool IsLetter(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}
char UpperLetter(char16_t c) {
    return static_cast<char>(c >= u'a' ? c - 32 : c);
}

// The folder that stands for the root of drive X: ("" for the file-system root).
std::string DriveRoot(char letter) {
    const std::string var = std::string("ZA_DRIVE_") + letter;
    const char* value = std::getenv(var.c_str());
    if (value == nullptr || *value == '\0') {
        return {};
    }
    std::string root(value);
    while (root.size() > 1 && root.back() == '/') {
        root.pop_back();
    }
    if (root == "/") {
        root.clear();
    }
    return root;
}

std::string SlashesOf(const std::u16string& s) {
    std::string r = ToUtf8(s);
    for (auto& c : r) {
        if (c == '\\') {
            c = '/';
        }
    }
    return r;
}

bool StatPath(const std::u16string& name, struct stat& st) {
    const std::string native = ToNativePath(name);
    return !native.empty() && ::stat(native.c_str(), &st) == 0;
}

// The nearest existing folder at or above a native path (for volume queries).
std::string ExistingAncestor(std::string path) {
    if (path.empty()) {
        path.assign(1, '.');
    }
    struct stat st {};
    while (::stat(path.c_str(), &st) != 0) {
        const size_t slash = path.find_last_of('/');
        if (slash == std::string::npos) {
            return ".";
        }
        path = slash == 0 ? "/" : path.substr(0, slash);
    }
    return path;
}

// Native path of the volume a drive-relative engine path lives on.
std::string VolumePath(const std::u16string& path) {
    std::u16string p = path;
    if (p.size() == 2 && p[1] == u':') {
        p += u'\\'; // "C:" alone means the drive
    }
    return ExistingAncestor(ToNativePath(p));
}

std::string ReadFirstLine(const std::string& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// The sysfs folder of the block device holding a native path, or "".
std::string BlockDeviceDir(const std::string& native, bool wholeDisk) {
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0) {
        return {};
    }
    const std::string link = "/sys/dev/block/" + std::to_string(major(st.st_dev)) + ":" +
                             std::to_string(minor(st.st_dev));
    char resolved[PATH_MAX];
    if (realpath(link.c_str(), resolved) == nullptr) {
        return {};
    }
    std::string dir(resolved);
    if (wholeDisk && access((dir + "/partition").c_str(), F_OK) == 0) {
        dir = dir.substr(0, dir.find_last_of('/'));
    }
    return dir;
}

bool SystemSaysRemovable(const std::string& native) {
    const std::string dir = BlockDeviceDir(native, true);
    return !dir.empty() && ReadFirstLine(dir + "/removable") == "1";
}

} // namespace

// ---------------------------------------------------------------- path mapping

std::string ToNativePath(const std::u16string& path) {
    // The long-path prefixes "\\?\C:\..." and "\\?\UNC\server\share" name
    // the same files as the plain forms.
    if (path.size() >= 4 && path.compare(0, 4, u"\\\\?\\") == 0) {
        if (path.size() >= 8 && UpperCase(path.substr(4, 4)) == u"UNC\\") {
            return ToNativePath(u"\\\\" + path.substr(8));
        }
        return ToNativePath(path.substr(4));
    }
    if (path.size() >= 2 && path[1] == u':' && IsLetter(path[0])) {
        const std::u16string rest = path.substr(2);
        if (rest.empty()) {
            return ".";
        }
        if (IsSep(rest[0])) {
            return DriveRoot(UpperLetter(path[0])) + SlashesOf(rest);
        }
        return SlashesOf(rest); // "C:name": relative to the current directory
    }
    return SlashesOf(path); // "\\server\share" becomes "//server/share" here too
}

std::u16string FromNativePath(const std::string& path) {
    // A path below a mapped drive root gets the drive back.
    size_t bestLen = 0;
    char bestLetter = 0;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const std::string root = DriveRoot(letter);
        if (root.empty() || root.size() <= bestLen) {
            continue;
        }
        if (path.compare(0, root.size(), root) == 0 &&
            (path.size() == root.size() || path[root.size()] == '/')) {
            bestLen = root.size();
            bestLetter = letter;
        }
    }
    std::u16string r;
    if (bestLetter != 0) {
        r = std::u16string(1, static_cast<char16_t>(bestLetter)) + u":";
        const std::string rest = path.substr(bestLen);
        r += rest.empty() ? u"\\" : SlashesToBackslashes(FromUtf8(rest));
        return r;
    }
    return SlashesToBackslashes(FromUtf8(path));
}

// ---------------------------------------------------------------- existence, attributes

bool FileExists(const std::u16string& fileName) {
    struct stat st {};
    return StatPath(fileName, st) && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::u16string& dirName) {
    struct stat st {};
    return StatPath(dirName, st) && S_ISDIR(st.st_mode);
}

int32_t FileGetAttr(const std::u16string& fileName) {
    struct stat st {};
    if (!StatPath(fileName, st)) {
        return -1;
    }
    int32_t attr = S_ISDIR(st.st_mode) ? faDirectory : faArchive;
    if ((st.st_mode & S_IWUSR) == 0) {
        attr |= faReadOnly;
    }
    const std::u16string name =
        ExtractFileName(ExcludeTrailingBackslash(SlashesToBackslashes(fileName)));
    if (name.size() > 1 && name[0] == u'.' && name != u"..") {
        attr |= faHidden;
    }
    return attr;
}

bool FileSetAttr(const std::u16string& fileName, int32_t attr) {
    const std::string native = ToNativePath(fileName);
    struct stat st {};
    if (native.empty() || ::stat(native.c_str(), &st) != 0) {
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        // A read-only mark on a folder does not stop writing into it elsewhere;
        // taking the write permission would, so folders keep theirs.
        return true;
    }
    mode_t mode = st.st_mode & 07777;
    if (attr & faReadOnly) {
        mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    } else {
        mode |= S_IWUSR;
    }
    if (mode == (st.st_mode & 07777)) {
        return true;
    }
    return ::chmod(native.c_str(), mode) == 0;
}

// ---------------------------------------------------------------- changes

bool DeleteFile(const std::u16string& fileName) {
    const std::string native = ToNativePath(fileName);
    struct stat st {};
    if (native.empty() || ::lstat(native.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
        return false;
    }
    return ::unlink(native.c_str()) == 0;
}

bool RenameFile(const std::u16string& oldName, const std::u16string& newName) {
    const std::string from = ToNativePath(oldName);
    const std::string to = ToNativePath(newName);
    return !from.empty() && !to.empty() && ::rename(from.c_str(), to.c_str()) == 0;
}

bool CreateDir(const std::u16string& dirName) {
    const std::string native = ToNativePath(dirName);
    return !native.empty() && ::mkdir(native.c_str(), 0777) == 0;
}

bool RemoveDir(const std::u16string& dirName) {
    const std::string native = ToNativePath(dirName);
    return !native.empty() && ::rmdir(native.c_str()) == 0;
}

bool ForceDirectories(const std::u16string& dirName) {
    std::string native = ToNativePath(dirName);
    while (native.size() > 1 && native.back() == '/') {
        native.pop_back();
    }
    if (native.empty()) {
        return false;
    }
    struct stat st {};
    if (::stat(native.c_str(), &st) == 0) {
        return S_ISDIR(st.st_mode);
    }
    // Create each missing level from the top down. An upper level we may not
    // create (EACCES on "/home") is fine as long as it exists as a folder.
    for (size_t i = 1; i <= native.size(); ++i) {
        if ((i != native.size() && native[i] != '/') || native[i - 1] == '/') {
            continue;
        }
        const std::string part = native.substr(0, i);
        if (::mkdir(part.c_str(), 0777) == 0) {
            continue;
        }
        if (::stat(part.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            return false;
        }
    }
    return ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// ---------------------------------------------------------------- DOS date-time

int32_t DateTimeToFileDate(int64_t unixTime) {
    const auto t = static_cast<time_t>(unixTime);
    struct tm tm {};
    if (localtime_r(&t, &tm) == nullptr) {
        return 0;
    }
    const int year = tm.tm_year + 1900;
    if (year < 1980 || year > 2107) {
        return 0;
    }
    const uint32_t date =
        static_cast<uint32_t>(((year - 1980) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
    const uint32_t tod =
        static_cast<uint32_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
    return static_cast<int32_t>((date << 16) | tod);
}

int64_t FileDateToDateTime(int32_t fileDate) {
    const auto v = static_cast<uint32_t>(fileDate);
    const int sec = static_cast<int>(v & 0x1F) * 2;
    const int min = static_cast<int>((v >> 5) & 0x3F);
    const int hour = static_cast<int>((v >> 11) & 0x1F);
    const int day = static_cast<int>((v >> 16) & 0x1F);
    const int month = static_cast<int>((v >> 21) & 0x0F);
    const int year = static_cast<int>((v >> 25) & 0x7F) + 1980;
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || hour > 23 || min > 59 || sec > 59) {
        return -1;
    }
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (day > kDays[month - 1] + (month == 2 && leap ? 1 : 0)) {
        return -1;
    }
    struct tm tm {};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = min;
    tm.tm_sec = sec;
    tm.tm_isdst = -1;
    const time_t t = mktime(&tm);
    return t == static_cast<time_t>(-1) ? -1 : static_cast<int64_t>(t);
}

int32_t FileAge(const std::u16string& fileName) {
    struct stat st {};
    if (!StatPath(fileName, st) || S_ISDIR(st.st_mode)) {
        return -1;
    }
    return DateTimeToFileDate(st.st_mtim.tv_sec);
}

bool FileSetDate(int handle, int32_t fileDate) {
    const int64_t t = FileDateToDateTime(fileDate);
    if (t < 0 || handle < 0) {
        return false;
    }
    detail::SyncFileHandle(handle); // buffered writes must not land after the stamp
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT; // last access stays
    times[1].tv_sec = static_cast<time_t>(t);
    times[1].tv_nsec = 0;
    return futimens(handle, times) == 0;
}

bool FileSetDate(const std::u16string& fileName, int32_t fileDate) {
    const int64_t t = FileDateToDateTime(fileDate);
    const std::string native = ToNativePath(fileName);
    if (t < 0 || native.empty()) {
        return false;
    }
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(t);
    times[1].tv_nsec = 0;
    return utimensat(AT_FDCWD, native.c_str(), times, 0) == 0;
}

bool FlushFileBuffers(int handle) {
    if (handle < 0) {
        return false;
    }
    detail::SyncFileHandle(handle);
    return fsync(handle) == 0;
}

// ---------------------------------------------------------------- current folder

std::u16string GetCurrentDir() {
    std::vector<char> buf(PATH_MAX);
    while (getcwd(buf.data(), buf.size()) == nullptr) {
        if (errno != ERANGE) {
            return {};
        }
        buf.resize(buf.size() * 2);
    }
    return FromNativePath(buf.data());
}

bool SetCurrentDir(const std::u16string& dir) {
    const std::string native = ToNativePath(dir);
    return !native.empty() && chdir(native.c_str()) == 0;
}

// ---------------------------------------------------------------- volumes

TDriveType GetDriveType(const std::u16string& path) {
    const std::u16string drive = UpperCase(ExtractFileDrive(path));
    if ((drive == u"A:" || drive == u"B:") && DriveRoot(static_cast<char>(drive[0])).empty()) {
        return dtRemovable;
    }
    const std::string native = VolumePath(path);
    struct statfs fs {};
    if (::statfs(native.c_str(), &fs) != 0) {
        return dtNoRootDir;
    }
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0x6969:     // NFS
    case 0xFF534D42: // CIFS
    case 0xFE534D42: // SMB2
    case 0x517B:     // SMB
    case 0x65735546: // FUSE (sshfs and friends)
        return dtRemote;
    case 0x01021994: // tmpfs
    case 0x858458F6: // ramfs
        return dtRamDisk;
    case 0x9660:     // ISO 9660
    case 0x15013346: // UDF
        return dtCDRom;
    default:
        break;
    }
    return SystemSaysRemovable(native) ? dtRemovable : dtFixed;
}

bool IsRemovableDrive(const std::u16string& path) {
    const std::u16string drive = UpperCase(ExtractFileDrive(path));
    if (drive == u"A:" || drive == u"B:") {
        return true;
    }
    return SystemSaysRemovable(VolumePath(path));
}

int64_t DiskFree(const std::u16string& path) {
    const std::string native = VolumePath(path);
    struct statvfs vfs {};
    if (::statvfs(native.c_str(), &vfs) != 0) {
        return -1;
    }
    return static_cast<int64_t>(vfs.f_bavail) * static_cast<int64_t>(vfs.f_frsize);
}

std::u16string GetVolumeLabel(const std::u16string& path) {
    // Best effort: the udev link /dev/disk/by-label/<label> that points at the
    // partition holding the path.
    const std::string dev = BlockDeviceDir(VolumePath(path), false);
    if (dev.empty()) {
        return {};
    }
    const std::string devName = dev.substr(dev.find_last_of('/') + 1);
    DIR* dir = opendir("/dev/disk/by-label");
    if (dir == nullptr) {
        return {};
    }
    std::u16string label;
    while (dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.') {
            continue;
        }
        const std::string link = std::string("/dev/disk/by-label/") + e->d_name;
        char resolved[PATH_MAX];
        if (realpath(link.c_str(), resolved) == nullptr) {
            continue;
        }
        const std::string target(resolved);
        if (target.substr(target.find_last_of('/') + 1) != devName) {
            continue;
        }
        // udev writes unsafe bytes as \xNN.
        std::string name;
        const std::string raw(e->d_name);
        for (size_t i = 0; i < raw.size(); ++i) {
            const auto hex = [&](size_t k) {
                const char c = raw[k];
                return c >= '0' && c <= '9'   ? c - '0'
                       : c >= 'a' && c <= 'f' ? c - 'a' + 10
                       : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                              : -1;
            };
            if (raw[i] == '\\' && i + 3 < raw.size() && raw[i + 1] == 'x' && hex(i + 2) >= 0 &&
                hex(i + 3) >= 0) {
                name.push_back(static_cast<char>(hex(i + 2) * 16 + hex(i + 3)));
                i += 3;
            } else {
                name.push_back(raw[i]);
            }
        }
        label = FromUtf8(name);
        break;
    }
    closedir(dir);
    return label;
}

// ---------------------------------------------------------------- temporary files

namespace detail {

std::u16string CreateUniqueFile(const std::u16string& dir, const std::u16string& prefix, int& fd) {
    static std::atomic<uint32_t> counter{0};
    // One random start per process (opening the random device per name is
    // costly when thousands of entries are extracted), then a counter.
    static const uint32_t start = [] {
        std::random_device rd;
        return rd() ^ static_cast<uint32_t>(getpid());
    }();
    fd = -1;
    std::u16string base = dir.empty() ? std::u16string() : IncludeTrailingBackslash(dir);
    uint32_t seed = start + counter.fetch_add(1) * 7919u;
    for (int attempt = 0; attempt < 0x10000; ++attempt) {
        const uint32_t n = (seed + static_cast<uint32_t>(attempt)) & 0xFFFF;
        std::u16string name = base + prefix + Format(u"%x", {int64_t{n}}) + u".tmp";
        const std::string native = ToNativePath(name);
        fd = ::open(native.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            return name;
        }
        if (errno != EEXIST) {
            return {};
        }
    }
    return {};
}

} // namespace detail

std::u16string MakeTempFileName(const std::u16string& dir, const std::u16string& prefix) {
    // Created here (empty) so that the name is taken; the caller reopens it.
    int fd = -1;
    std::u16string name = detail::CreateUniqueFile(dir, prefix, fd);
    if (fd >= 0) {
        ::close(fd);
    }
    return name;
}

} // namespace za
