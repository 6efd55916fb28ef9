// zaunzip: lists, tests and extracts ZIP archives with the ZA engine, in the
// habits of Info-ZIP unzip.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "archiver/ZipArchiver.h"
#include "platform/CodePage.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "platform/Path.h"
#include "zip/ZADirArray.h"
#include "zip/ZADirManager.h"

using namespace za;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitSomeFailed = 1;
constexpr int kExitCannotOpen = 2;
constexpr int kExitUsage = 3;
constexpr int kExitNoMatch = 11;

const char* const kUsage =
    "Usage: zaunzip [options] ARCHIVE [MASK ...] [-x MASK ...]\n"
    "\n"
    "Extracts the entries of ARCHIVE that match the masks (all entries when no\n"
    "mask is given) below the destination folder.\n"
    "\n"
    "  -l              list the entries (size, date, time, name) with totals\n"
    "  --json          with -l: print one JSON object (comment, zip64, stub_size, entries)\n"
    "  -t              test the entries: one line per damaged entry and a summary\n"
    "  -d DIR          extract below DIR (default: the current directory)\n"
    "  -o              overwrite existing files (the default)\n"
    "  -n              never overwrite existing files\n"
    "  -j              junk stored folders: every file lands directly in DIR\n"
    "  -q              quiet: no progress bar\n"
    "  -P PASSWORD     password for encrypted entries; without it an encrypted\n"
    "                  entry asks on the terminal, or is skipped when there is none\n"
    "  --stop-on-error stop at the first entry that fails (default: report it and go on)\n"
    "  -x MASK ...     exclude entries matching the masks that follow\n"
    "  --oem CP        OEM code page of names without the UTF-8 flag: 437, 850, 866 (default)\n"
    "  --ansi CP       ANSI code page of comments and passwords: 1251 (default), 1252\n"
    "  -h, --help      show this help\n"
    "\n"
    "Masks use * and ? and match the stored path with \\ or / separators.\n"
    "Split sets open through their last volume (.zip), self-extracting sets\n"
    "through their .exe first volume.\n"
    "\n"
    "Exit status: 0 all selected entries done; 1 some entry failed or was skipped;\n"
    "2 the archive cannot be opened or read; 3 usage error; 11 no entry matched the masks.\n";

struct Args {
    enum Mode { kExtract, kList, kTest } mode = kExtract;
    bool json = false;
    std::string dir;
    bool haveDir = false;
    bool never = false;
    bool junk = false;
    bool quiet = false;
    bool stopOnError = false;
    bool havePassword = false;
    std::string password;
    uint16_t oem = 866;
    uint16_t ansi = 1251;
    std::string archive;
    std::vector<std::string> masks;
    std::vector<std::string> excludes;
};

int UsageError(const std::string& msg) {
    std::fprintf(stderr, "zaunzip: %s\nTry 'zaunzip --help'.\n", msg.c_str());
    return kExitUsage;
}

bool ParseCodePage(const char* s, uint16_t& out) {
    char* end = nullptr;
    const long v = std::strtol(s, &end, 10);
    if (end == s || *end != 0 || v <= 0 || v > 65535) {
        return false;
    }
    out = static_cast<uint16_t>(v);
    return true;
}

// Returns -1 when parsed, otherwise the exit status to leave with.
int ParseArgs(int argc, char** argv, Args& a) {
    bool inExcludes = false;
    bool optionsDone = false;
    for (int i = 1; i < argc; ++i) {
        std::string s = argv[i];
        auto needValue = [&](const char* what) -> const char* {
            if (i + 1 >= argc) {
                return nullptr;
            }
            (void)what;
            return argv[++i];
        };
        if (!optionsDone && s.size() > 1 && s[0] == '-') {
            if (s == "--") {
                optionsDone = true;
            } else if (s == "-h" || s == "--help") {
                std::fputs(kUsage, stdout);
                return kExitOk;
            } else if (s == "-l") {
                a.mode = Args::kList;
            } else if (s == "-t") {
                a.mode = Args::kTest;
            } else if (s == "--json") {
                a.json = true;
            } else if (s == "-o") {
                a.never = false;
            } else if (s == "-n") {
                a.never = true;
            } else if (s == "-j") {
                a.junk = true;
            } else if (s == "-q") {
                a.quiet = true;
            } else if (s == "--stop-on-error") {
                a.stopOnError = true;
            } else if (s == "-x") {
                inExcludes = true;
            } else if (s == "-d") {
                const char* v = needValue("-d");
                if (!v) {
                    return UsageError("option -d needs a folder");
                }
                a.dir = v;
                a.haveDir = true;
            } else if (s == "-P") {
                const char* v = needValue("-P");
                if (!v) {
                    return UsageError("option -P needs a password");
                }
                a.password = v;
                a.havePassword = true;
            } else if (s == "--oem" || s == "--ansi") {
                const char* v = needValue(s.c_str());
                uint16_t cp = 0;
                if (!v || !ParseCodePage(v, cp) || !IsSupportedCodePage(cp)) {
                    return UsageError("option " + s + " needs a supported code page");
                }
                (s == "--oem" ? a.oem : a.ansi) = cp;
            } else {
                return UsageError("unknown option " + s);
            }
            continue;
        }
        if (a.archive.empty()) {
            a.archive = s;
        } else if (inExcludes) {
            a.excludes.push_back(s);
        } else {
            a.masks.push_back(s);
        }
    }
    if (a.archive.empty()) {
        return UsageError("no archive given");
    }
    if (a.json && a.mode != Args::kList) {
        return UsageError("--json goes with -l");
    }
    if (!SetCodePages(a.oem, a.ansi)) {
        return UsageError("unsupported pair of code pages");
    }
    return -1;
}

// Command-line words are UTF-8; masks and names in the engine use "\".
std::u16string EngineText(const std::string& s) {
    return SlashesToBackslashes(FromUtf8(s));
}

std::string Out(const std::u16string& s) {
    return ToUtf8(s);
}

void JsonString(std::string& out, const std::u16string& text) {
    const std::string s = ToUtf8(text);
    out += '"';
    for (unsigned char c : s) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
}

std::string DosDateTime(uint16_t date, uint16_t time, bool withSeconds) {
    char buf[32];
    const int year = 1980 + (date >> 9), month = (date >> 5) & 15, day = date & 31;
    const int hour = time >> 11, minute = (time >> 5) & 63, second = (time & 31) * 2;
    if (withSeconds) {
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour,
                      minute, second);
    } else {
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d", year, month, day, hour, minute);
    }
    return buf;
}

const char* EncryptionName(const TDirItem& item) {
    if (!item.IsEncrypted()) {
        return "none";
    }
    switch (item.ZAEncryptionAlgorithm) {
    case caAES_128:
        return "aes128";
    case caAES_192:
        return "aes192";
    case caAES_256:
        return "aes256";
    default:
        return "pkzip";
    }
}

bool IsDirEntry(const TDirItem& item) {
    return item.IsFolder() || (!item.Name.empty() && item.Name.back() == u'/');
}

int List(TZipArchiver& arc, const Args& a) {
    TZADirManager* dm = arc.DirManager();
    const TZADirArray& dir = dm->CDir();
    if (a.json) {
        std::string out = "{\"comment\":";
        JsonString(out, AnsiToUnicode(dm->ArchiveComment()));
        out += ",\"zip64\":";
        out += dm->Zip64() ? "true" : "false";
        out += ",\"stub_size\":" + std::to_string(dm->StubSize());
        out += ",\"entries\":[";
        for (int32_t i = 0; i < dir.Count(); ++i) {
            const TDirItem& item = dir.ItemsPtr(i);
            const TZAZipCentralDir& cd = item.CentralDir;
            char crc[16];
            std::snprintf(crc, sizeof crc, "%08x", cd.crc32);
            out += i ? ",{" : "{";
            out += "\"name\":";
            JsonString(out, item.Name);
            out += ",\"size\":" + std::to_string(item.EffectiveUncompSize());
            out += ",\"compressed_size\":" + std::to_string(item.EffectiveCompSize());
            out += ",\"crc32\":\"" + std::string(crc) + "\"";
            out += ",\"method\":" + std::to_string(item.CompressionMethod);
            out += ",\"encryption\":\"" + std::string(EncryptionName(item)) + "\"";
            out += ",\"is_dir\":";
            out += IsDirEntry(item) ? "true" : "false";
            out += ",\"mtime\":\"" + DosDateTime(cd.lastModDate, cd.lastModTime, true) + "\"";
            out += ",\"attributes\":" + std::to_string(cd.externalAttr);
            out += ",\"comment\":";
            JsonString(out, AnsiToUnicode(item.Comment));
            out += "}";
        }
        out += "]}\n";
        std::fputs(out.c_str(), stdout);
        return kExitOk;
    }
    std::printf("Archive:  %s\n", a.archive.c_str());
    std::printf("%12s  %-10s %-5s   %s\n", "Length", "Date", "Time", "Name");
    std::printf("------------  ---------- -----   ----\n");
    int64_t total = 0;
    for (int32_t i = 0; i < dir.Count(); ++i) {
        const TDirItem& item = dir.ItemsPtr(i);
        const int64_t size = item.EffectiveUncompSize();
        total += size;
        std::printf(
            "%12lld  %s   %s\n", static_cast<long long>(size),
            DosDateTime(item.CentralDir.lastModDate, item.CentralDir.lastModTime, false).c_str(),
            Out(item.Name).c_str());
    }
    std::printf("------------                     -------\n");
    std::printf("%12lld                     %d file%s\n", static_cast<long long>(total),
                dir.Count(), dir.Count() == 1 ? "" : "s");
    return kExitOk;
}

// Progress bar on standard error: shown on a terminal once the work has
// lasted a second; the entry, the overall percentage and the output speed.
class ProgressBar {
public:
    explicit ProgressBar(bool enabled) : FEnabled(enabled), FStart(Clock::now()) {}
    ~ProgressBar() { Finish(); }

    void File(const std::u16string& name, double progress, TZAProgressPhase phase,
              int64_t entrySize) {
        if (!FEnabled) {
            return;
        }
        if (phase == ppStart) {
            FName = ToUtf8(name);
            FEntrySize = entrySize;
            FEntryDone = 0;
        } else {
            FEntryDone = static_cast<int64_t>(progress / 100.0 * static_cast<double>(FEntrySize));
            if (phase == ppEnd) {
                FBytesBefore += FEntrySize;
                FEntryDone = 0;
            }
        }
    }
    void Overall(double progress) {
        if (!FEnabled) {
            return;
        }
        const auto now = Clock::now();
        const double elapsed = std::chrono::duration<double>(now - FStart).count();
        if (elapsed < 1.0 || now - FLastDraw < std::chrono::milliseconds(100)) {
            return;
        }
        FLastDraw = now;
        const double mbs = static_cast<double>(FBytesBefore + FEntryDone) / elapsed / 1e6;
        std::string name = FName;
        if (name.size() > 40) {
            name = "..." + name.substr(name.size() - 37);
        }
        std::fprintf(stderr, "\r\033[K%-40s %3d%% %8.1f MB/s", name.c_str(),
                     static_cast<int>(progress), mbs);
        FDrawn = true;
    }
    void Finish() {
        if (FDrawn) {
            std::fputs("\r\033[K", stderr);
            FDrawn = false;
        }
    }

private:
    using Clock = std::chrono::steady_clock;
    bool FEnabled;
    Clock::time_point FStart;
    Clock::time_point FLastDraw{};
    std::string FName;
    int64_t FEntrySize = 0;
    int64_t FEntryDone = 0;
    int64_t FBytesBefore = 0;
    bool FDrawn = false;
};

int Run(const Args& a) {
    TZipArchiver arc;
    arc.SetName(u"zaunzip");
    const std::u16string archive = FromNativePath(a.archive);
    if (!FileExists(archive)) {
        std::fprintf(stderr, "zaunzip: cannot find %s\n", a.archive.c_str());
        return kExitCannotOpen;
    }
    arc.SetFileName(archive);
    arc.SetOpenCorruptedArchives(false);
    try {
        arc.OpenArchive(static_cast<uint16_t>(fmOpenRead | fmShareDenyNone));
    } catch (const Exception& e) {
        std::fprintf(stderr, "zaunzip: %s\n", e.what());
        return kExitCannotOpen;
    }
    if (a.mode == Args::kList) {
        return List(arc, a);
    }

    // Selection: one mask and one exclusion go straight to the operation,
    // several through the mask lists.
    const bool useLists = a.masks.size() > 1 || a.excludes.size() > 1;
    std::u16string mask = a.masks.empty() ? u"*.*" : EngineText(a.masks[0]);
    std::u16string excl = a.excludes.empty() ? u"" : EngineText(a.excludes[0]);
    if (useLists) {
        for (const auto& m : a.masks) {
            arc.FileMasks().Add(EngineText(m));
        }
        if (a.masks.empty()) {
            arc.FileMasks().Add(u"*.*");
        }
        for (const auto& x : a.excludes) {
            arc.ExclusionMasks().Add(EngineText(x));
        }
    }
    const bool terminalIn = isatty(0) != 0;
    TTerminalDialogs terminal;
    TDialogsScope dialogs(terminalIn ? static_cast<IDialogs*>(&terminal) : nullptr);

    if (a.havePassword) {
        arc.SetPassword(a.password);
    }
    arc.SetOnPassword(
        [&](TZABaseArchiver*, const std::u16string& fileName, std::string& pw, bool& skip) {
            if (terminalIn && !a.havePassword) {
                std::u16string value;
                if (PasswordDialog(u"Password for \"" + SlashesToBackslashes(fileName) + u"\"",
                                   u"Enter password: ", value)) {
                    pw = UnicodeToAnsi(value);
                    skip = false;
                    return;
                }
            }
            std::fprintf(stderr, "zaunzip: %s: skipped, %s\n", Out(fileName).c_str(),
                         a.havePassword ? "wrong password" : "no password given");
            skip = true;
        });
    arc.SetOnProcessFileFailure([&](TZABaseArchiver*, const std::u16string& fileName,
                                    TZAProcessOperation, int32_t, int32_t,
                                    const std::u16string& message, TZAAction& action) {
        std::fprintf(stderr, "zaunzip: %s: %s\n", Out(fileName).c_str(), Out(message).c_str());
        action = a.stopOnError ? fxaAbort : fxaIgnore;
    });

    ProgressBar bar(!a.quiet && isatty(2) != 0 && a.mode == Args::kExtract);
    std::u16string currentName;
    arc.SetOnFileProgress([&](TZABaseArchiver* sender, const std::u16string& fileName,
                              double progress, TZAProcessOperation, TZAProgressPhase phase, bool&) {
        int64_t size = 0;
        if (phase == ppStart) {
            int32_t index = -1;
            auto* dm = static_cast<TZipArchiver*>(sender)->DirManager();
            if (dm && dm->CDir().FileExists(BackslashesToSlashes(fileName), index) && index >= 0) {
                size = dm->CDir().ItemsPtr(index).EffectiveUncompSize();
            }
        }
        bar.File(fileName, progress, phase, size);
    });
    arc.SetOnOverallProgress([&](TZABaseArchiver*, double progress, TZAProcessOperation,
                                 TZAProgressPhase, bool&) { bar.Overall(progress); });

    try {
        if (a.mode == Args::kTest) {
            if (useLists) {
                arc.TestFiles();
            } else {
                arc.TestFiles(mask, ZASearchAllAttr, excl);
            }
        } else {
            arc.Options().SetOverwriteMode(a.never ? omNever : omAlways);
            arc.Options().SetCreateDirs(!a.junk);
            const std::u16string base = a.haveDir ? FromNativePath(a.dir) : GetCurrentDir();
            // Like unzip, -d creates the destination folder (also with -j).
            if (a.haveDir && !ForceDirectories(base)) {
                std::fprintf(stderr, "zaunzip: cannot create folder %s\n", a.dir.c_str());
                return kExitCannotOpen;
            }
            arc.SetBaseDir(base);
            if (useLists) {
                arc.ExtractFiles();
            } else {
                arc.ExtractFiles(mask, ZASearchAllAttr, excl);
            }
        }
    } catch (const Exception& e) {
        bar.Finish();
        std::fprintf(stderr, "zaunzip: %s\n", e.what());
        return kExitCannotOpen;
    }
    bar.Finish();
    // The run tagged what the masks select; none means no entry matched.
    if (!a.masks.empty() && arc.ProcessedFileCount() == 0) {
        std::fprintf(stderr, "zaunzip: no entry of %s matches the masks\n", a.archive.c_str());
        return kExitNoMatch;
    }
    // Entries not delivered: failed, skipped for want of a password, or
    // never reached after --stop-on-error.
    const int32_t bad = arc.NotExtractedFileCount();
    if (a.mode == Args::kTest) {
        if (bad == 0) {
            std::printf("No errors detected in %s (%d entries tested).\n", a.archive.c_str(),
                        arc.ProcessedFileNo());
        } else {
            std::printf("%d of %d entries in %s failed the test.\n", bad, arc.ProcessedFileCount(),
                        a.archive.c_str());
        }
    }
    return bad > 0 ? kExitSomeFailed : kExitOk;
}

} // namespace

int main(int argc, char** argv) {
    Args a;
    const int rc = ParseArgs(argc, argv, a);
    if (rc >= 0) {
        return rc;
    }
    try {
        return Run(a);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zaunzip: %s\n", e.what());
        return kExitCannotOpen;
    }
}
