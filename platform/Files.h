// File-system services in the engine's path form.
//
// Engine paths use "\" as separator and may start with a drive ("C:") or a
// server ("\\server\share"). On POSIX they map as follows:
//  - every "\" becomes "/";
//  - a drive prefix "X:" followed by a separator is the file-system root:
//    "C:\data\a.txt" is "/data/a.txt" (the letter is dropped). When the
//    environment variable ZA_DRIVE_<LETTER> names a folder (for example
//    ZA_DRIVE_C=/tmp/c), that folder stands for the drive's root instead;
//  - a drive prefix without a separator ("C:a.txt") is relative to the
//    current directory;
//  - "\\server\share\p" becomes "//server/share/p";
//  - "/" in an engine path is kept as a separator;
//  - the long-path prefix "\\?\" is dropped ("\\?\UNC\server\share" is
//    "\\server\share").
// FromNativePath turns "/" into "\" and gives a path below a ZA_DRIVE_<LETTER>
// folder its drive back ("X:\..."); other absolute paths stay drive-less.
// Names are UTF-16 in the engine and UTF-8 on the file system.
#pragma once

#include <cstdint>
#include <string>

namespace za {

// DOS attribute bits.
constexpr int32_t faReadOnly = 0x01;
constexpr int32_t faHidden = 0x02;
constexpr int32_t faSysFile = 0x04;
constexpr int32_t faVolumeID = 0x08;
constexpr int32_t faDirectory = 0x10;
constexpr int32_t faArchive = 0x20;
constexpr int32_t faNormal = 0x80;
constexpr int32_t faCompressed = 0x800;
constexpr int32_t faNotContentIndexed = 0x2000;
constexpr int32_t faAnyFile = 0x3F;

// Engine path to the native (POSIX, UTF-8) path, and back.
std::string ToNativePath(const std::u16string& path);
std::u16string FromNativePath(const std::string& path);

// True for an existing file (following links); a folder does not count.
bool FileExists(const std::u16string& fileName);
bool DirectoryExists(const std::u16string& dirName);

// DOS attributes: read-only is "no write permission for the owner",
// faDirectory a folder, faHidden a name starting with "."; faArchive is
// reported for every regular file. -1 when the file does not exist.
int32_t FileGetAttr(const std::u16string& fileName);
// Applies faReadOnly (clears/sets the write permissions); other bits are
// kept only where the file system can hold them (it cannot here). False on failure.
bool FileSetAttr(const std::u16string& fileName, int32_t attr);

bool DeleteFile(const std::u16string& fileName);
// Renames, replacing an existing destination. False on failure.
bool RenameFile(const std::u16string& oldName, const std::u16string& newName);
bool CreateDir(const std::u16string& dirName);
bool RemoveDir(const std::u16string& dirName);
// Creates a folder and every missing parent. True when it exists afterwards.
bool ForceDirectories(const std::u16string& dirName);

// MS-DOS date-time (date in the high word, time in the low word, two-second
// resolution) in local time.
int32_t DateTimeToFileDate(int64_t unixTime);
int64_t FileDateToDateTime(int32_t fileDate); // -1 for an invalid value
// Last-write time as a DOS date-time; -1 when the file does not exist.
int32_t FileAge(const std::u16string& fileName);
// Sets the last-write time of an open file or a named one. False on failure.
bool FileSetDate(int handle, int32_t fileDate);
bool FileSetDate(const std::u16string& fileName, int32_t fileDate);

// Flushes an open file to disk.
bool FlushFileBuffers(int handle);

std::u16string GetCurrentDir();
bool SetCurrentDir(const std::u16string& dir);

// Drive type of the drive that holds the path.
enum TDriveType : uint8_t {
    dtUnknown = 0,
    dtNoRootDir = 1,
    dtRemovable = 2,
    dtFixed = 3,
    dtRemote = 4,
    dtCDRom = 5,
    dtRamDisk = 6
};
TDriveType GetDriveType(const std::u16string& path);
// "A:" or "B:" (any case), or a drive the system reports as removable.
bool IsRemovableDrive(const std::u16string& path);
// Free bytes for the caller on the drive that holds the path; -1 when unknown.
int64_t DiskFree(const std::u16string& path);
// Label of the volume holding the path (empty when it has none).
std::u16string GetVolumeLabel(const std::u16string& path);

// Unique name for a new temporary file in a folder, e.g. "dir\~za1234.tmp".
// The file is created empty to claim the name; "" when that is impossible.
std::u16string MakeTempFileName(const std::u16string& dir, const std::u16string& prefix);

namespace detail {
// Creates a new empty file under a unique name of that form, open for
// reading and writing; its name, with the descriptor in fd ("" and -1 when
// that is impossible).
std::u16string CreateUniqueFile(const std::u16string& dir, const std::u16string& prefix, int& fd);
} // namespace detail

} // namespace za
