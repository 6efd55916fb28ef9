#include "platform/Format.h"

#include "platform/Exception.h"

#include <cstdint>
#include <limits>

namespace za {

namespace {

[[noreturn]] void InvalidFormat(const std::u16string& fmt) {
    throw EConvertError(u"Format '" + fmt + u"' invalid or incompatible with argument");
}

[[noreturn]] void ArgumentMissing(const std::u16string& fmt) {
    throw EConvertError(u"No argument for format '" + fmt + u"'");
}

std::u16string Digits(uint64_t v, unsigned base) {
    static const char16_t kDigits[] = u"0123456789ABCDEF";
    std::u16string s;
    do {
        s.insert(s.begin(), kDigits[v % base]);
        v /= base;
    } while (v != 0);
    return s;
}

// Integers are 32-bit in the formatting's home; a negative value that fits 32
// bits is shown as its 32-bit unsigned form by %u and %x, others as 64-bit.
uint64_t AsUnsigned(int64_t v) {
    if (v < 0 && v >= std::numeric_limits<int32_t>::min()) {
        return static_cast<uint32_t>(static_cast<int32_t>(v));
    }
    return static_cast<uint64_t>(v);
}

} // namespace

std::u16string Format(const std::u16string& fmt, const TVarArgs& args) {
    std::u16string out;
    out.reserve(fmt.size() + 16);
    size_t argIndex = 0;
    size_t i = 0;
    const size_t n = fmt.size();

    auto nextArg = [&]() -> const TVarRec& {
        if (argIndex >= args.size()) {
            ArgumentMissing(fmt);
        }
        return args[argIndex++];
    };
    auto intArg = [&]() -> int64_t {
        const TVarRec& a = nextArg();
        if (const auto* v = std::get_if<int64_t>(&a)) {
            return *v;
        }
        InvalidFormat(fmt);
    };
    // A decimal number, or "*" taken from the arguments; -1 when absent.
    auto number = [&]() -> int64_t {
        if (i < n && fmt[i] == u'*') {
            ++i;
            return intArg();
        }
        if (i >= n || fmt[i] < u'0' || fmt[i] > u'9') {
            return -1;
        }
        int64_t v = 0;
        while (i < n && fmt[i] >= u'0' && fmt[i] <= u'9') {
            v = v * 10 + (fmt[i] - u'0');
            if (v > 1000000) {
                InvalidFormat(fmt); // absurd width or precision
            }
            ++i;
        }
        return v;
    };

    while (i < n) {
        const char16_t c = fmt[i++];
        if (c != u'%') {
            out.push_back(c);
            continue;
        }
        if (i >= n) {
            InvalidFormat(fmt);
        }
        if (fmt[i] == u'%') {
            out.push_back(u'%');
            ++i;
            continue;
        }
        // [index ":"] ["-"] [width] ["." precision] type
        int64_t first = number();
        if (i < n && fmt[i] == u':') {
            ++i;
            if (first < 0) {
                first = 0;
            }
            argIndex = static_cast<size_t>(first);
            first = -1;
        }
        bool left = false;
        int64_t width = first;
        if (width < 0) {
            if (i < n && fmt[i] == u'-') {
                left = true;
                ++i;
            }
            width = number();
        }
        int64_t prec = -1;
        if (i < n && fmt[i] == u'.') {
            ++i;
            prec = number();
            if (prec < 0) {
                prec = 0;
            }
        }
        if (i >= n) {
            InvalidFormat(fmt);
        }
        const char16_t type = fmt[i++];
        std::u16string text;
        switch (type) {
        case u'd':
        case u'D': {
            const int64_t v = intArg();
            const uint64_t mag = v < 0 ? uint64_t{0} - static_cast<uint64_t>(v) : uint64_t(v);
            std::u16string d = Digits(mag, 10);
            if (prec > 0 && d.size() < static_cast<size_t>(prec)) {
                d.insert(0, static_cast<size_t>(prec) - d.size(), u'0');
            }
            text = v < 0 ? u"-" + d : d;
            break;
        }
        case u'u':
        case u'U':
        case u'x':
        case u'X': {
            const bool hex = type == u'x' || type == u'X';
            text = Digits(AsUnsigned(intArg()), hex ? 16 : 10);
            if (prec > 0 && text.size() < static_cast<size_t>(prec)) {
                text.insert(0, static_cast<size_t>(prec) - text.size(), u'0');
            }
            break;
        }
        case u's':
        case u'S': {
            const TVarRec& a = nextArg();
            const auto* s = std::get_if<std::u16string>(&a);
            if (s == nullptr) {
                InvalidFormat(fmt);
            }
            text = *s;
            if (prec >= 0 && text.size() > static_cast<size_t>(prec)) {
                text.resize(static_cast<size_t>(prec));
            }
            break;
        }
        default:
            InvalidFormat(fmt);
        }
        if (width > 0 && text.size() < static_cast<size_t>(width)) {
            const size_t pad = static_cast<size_t>(width) - text.size();
            if (left) {
                text.append(pad, u' ');
            } else {
                text.insert(0, pad, u' ');
            }
        }
        out += text;
    }
    return out;
}

std::u16string IntToStr(int64_t value) {
    return Format(u"%d", {value});
}

} // namespace za
