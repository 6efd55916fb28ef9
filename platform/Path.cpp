#include "platform/Path.h"

#include "platform/Files.h"
#include "platform/Utf8Internal.h"

#include <vector>

namespace za {

namespace {

bool IsPathDelim(char16_t c) {
    return c == u'\\' || c == u':';
}

size_t LastPathDelim(const std::u16string& s) {
    for (size_t i = s.size(); i > 0; --i) {
        if (IsPathDelim(s[i - 1])) {
            return i - 1;
        }
    }
    return std::u16string::npos;
}

bool IsDriveLetter(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

} // namespace

std::u16string ExtractFilePath(const std::u16string& fileName) {
    const size_t i = LastPathDelim(fileName);
    return i == std::u16string::npos ? std::u16string() : fileName.substr(0, i + 1);
}

std::u16string ExtractFileName(const std::u16string& fileName) {
    const size_t i = LastPathDelim(fileName);
    return i == std::u16string::npos ? fileName : fileName.substr(i + 1);
}

std::u16string ExtractFileExt(const std::u16string& fileName) {
    for (size_t i = fileName.size(); i > 0; --i) {
        const char16_t c = fileName[i - 1];
        if (c == u'.') {
            return fileName.substr(i - 1);
        }
        if (IsPathDelim(c)) {
            break;
        }
    }
    return {};
}

std::u16string ChangeFileExt(const std::u16string& fileName, const std::u16string& ext) {
    for (size_t i = fileName.size(); i > 0; --i) {
        const char16_t c = fileName[i - 1];
        if (c == u'.') {
            return fileName.substr(0, i - 1) + ext;
        }
        if (IsPathDelim(c)) {
            break;
        }
    }
    return fileName + ext;
}

std::u16string ExtractFileDrive(const std::u16string& fileName) {
    if (fileName.size() >= 2 && fileName[1] == u':') {
        return fileName.substr(0, 2);
    }
    if (fileName.size() >= 2 && fileName[0] == u'\\' && fileName[1] == u'\\') {
        // "\\server\share": up to (not including) the separator after the share.
        size_t seps = 0;
        size_t i = 2;
        while (i < fileName.size()) {
            if (fileName[i] == u'\\') {
                ++seps;
                if (seps == 2) {
                    break;
                }
            }
            ++i;
        }
        return fileName.substr(0, i);
    }
    return {};
}

std::u16string IncludeTrailingBackslash(const std::u16string& path) {
    if (!path.empty() && path.back() == u'\\') {
        return path;
    }
    return path + u'\\';
}

std::u16string ExcludeTrailingBackslash(const std::u16string& path) {
    if (!path.empty() && path.back() == u'\\') {
        return path.substr(0, path.size() - 1);
    }
    return path;
}

std::u16string SlashesToBackslashes(std::u16string s) {
    for (auto& c : s) {
        if (c == u'/') {
            c = u'\\';
        }
    }
    return s;
}

std::u16string BackslashesToSlashes(std::u16string s) {
    for (auto& c : s) {
        if (c == u'\\') {
            c = u'/';
        }
    }
    return s;
}

std::u16string ExpandFileName(const std::u16string& fileName) {
    if (fileName.empty()) {
        return {};
    }
    std::u16string s = SlashesToBackslashes(fileName);
    std::u16string prefix; // "X:", "\\server\share" or "" (rooted without a drive)
    std::u16string rest;   // the part below the prefix, relative to its root
    if (s.size() >= 2 && s[0] == u'\\' && s[1] == u'\\') {
        prefix = ExtractFileDrive(s);
        rest = s.substr(prefix.size());
    } else if (s.size() >= 2 && s[1] == u':' && IsDriveLetter(s[0])) {
        prefix = s.substr(0, 2);
        if (s.size() >= 3 && s[2] == u'\\') {
            rest = s.substr(3);
        } else {
            // "C:name": relative to the current directory.
            const std::u16string cur = GetCurrentDir();
            const std::u16string curDrive = ExtractFileDrive(cur);
            rest = cur.substr(curDrive.size()) + u'\\' + s.substr(2);
        }
    } else if (s[0] == u'\\') {
        const std::u16string cur = GetCurrentDir();
        prefix = ExtractFileDrive(cur);
        rest = s.substr(1);
    } else {
        const std::u16string cur = GetCurrentDir();
        prefix = ExtractFileDrive(cur);
        rest = cur.substr(prefix.size()) + u'\\' + s;
    }
    const bool trailing = s.back() == u'\\' && s.size() > 1;

    std::vector<std::u16string> parts;
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find(u'\\', start);
        if (end == std::u16string::npos) {
            end = rest.size();
        }
        std::u16string part = rest.substr(start, end - start);
        if (part == u"..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != u".") {
            parts.push_back(std::move(part));
        }
        start = end + 1;
    }
    std::u16string out = prefix + u'\\';
    for (size_t i = 0; i < parts.size(); ++i) {
        out += parts[i];
        if (i + 1 < parts.size() || trailing) {
            out += u'\\';
        }
    }
    return out;
}

char16_t UpCaseChar(char16_t c) {
    if (c < 0x80) {
        return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
    }
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) {
        return static_cast<char16_t>(c - 32);
    }
    if (c == 0xFF) {
        return 0x178;
    }
    if (c >= 0x3B1 && c <= 0x3CB) { // Greek
        return c == 0x3C2 ? char16_t(0x3A3) : static_cast<char16_t>(c - 32);
    }
    switch (c) {
    case 0x3AC:
        return 0x386;
    case 0x3AD:
    case 0x3AE:
    case 0x3AF:
        return static_cast<char16_t>(c - 0x3AD + 0x388);
    case 0x3CC:
        return 0x38C;
    case 0x3CD:
    case 0x3CE:
        return static_cast<char16_t>(c - 0x3CD + 0x38E);
    default:
        break;
    }
    if (c >= 0x430 && c <= 0x44F) { // Cyrillic
        return static_cast<char16_t>(c - 32);
    }
    if (c >= 0x450 && c <= 0x45F) {
        return static_cast<char16_t>(c - 80);
    }
    if (c >= 0x48A && c <= 0x4BF && (c & 1)) {
        return static_cast<char16_t>(c - 1);
    }
    return c;
}

static char16_t LowCaseChar(char16_t c) {
    if (c < 0x80) {
        return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    }
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) {
        return static_cast<char16_t>(c + 32);
    }
    if (c == 0x178) {
        return 0xFF;
    }
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) {
        return static_cast<char16_t>(c + 32);
    }
    switch (c) {
    case 0x386:
        return 0x3AC;
    case 0x388:
    case 0x389:
    case 0x38A:
        return static_cast<char16_t>(c - 0x388 + 0x3AD);
    case 0x38C:
        return 0x3CC;
    case 0x38E:
    case 0x38F:
        return static_cast<char16_t>(c - 0x38E + 0x3CD);
    default:
        break;
    }
    if (c >= 0x410 && c <= 0x42F) {
        return static_cast<char16_t>(c + 32);
    }
    if (c >= 0x400 && c <= 0x40F) {
        return static_cast<char16_t>(c + 80);
    }
    if (c >= 0x48A && c <= 0x4BF && !(c & 1)) {
        return static_cast<char16_t>(c + 1);
    }
    return c;
}

std::u16string UpperCase(const std::u16string& s) {
    std::u16string r(s);
    for (auto& c : r) {
        c = UpCaseChar(c);
    }
    return r;
}

std::u16string LowerCase(const std::u16string& s) {
    std::u16string r(s);
    for (auto& c : r) {
        c = LowCaseChar(c);
    }
    return r;
}

bool SameText(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (UpCaseChar(a[i]) != UpCaseChar(b[i])) {
            return false;
        }
    }
    return true;
}

std::string ToUtf8(const std::u16string& s) {
    return detail::EncodeUtf8Text(s);
}

std::u16string FromUtf8(const std::string& s) {
    std::u16string out;
    out.reserve(s.size());
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    size_t i = 0;
    while (i < s.size()) {
        char32_t cp = 0;
        const size_t len = detail::DecodeUtf8Step(p + i, s.size() - i, cp);
        if (len == 0) {
            out.push_back(u'\uFFFD');
            ++i;
        } else {
            detail::AppendUtf16(out, cp);
            i += len;
        }
    }
    return out;
}

} // namespace za
