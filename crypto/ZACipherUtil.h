// Base of the block cipher framework: TProtection, a reference-counted
// object that runs data through a chain of protection objects, and the text
// formats (TStringFormat) that turn digests and coded strings into text.
#pragma once

#include "platform/Exception.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace za {

class TStream;

enum TPAction : uint8_t { paEncode = 0, paDecode = 1, paScramble = 2, paCalc = 3, paWipe = 4 };

// A set of TPAction values (bit n = action n).
using TPActions = uint8_t;
constexpr TPActions PActionBit(TPAction a) {
    return static_cast<TPActions>(1u << a);
}
constexpr TPActions paAllActions = 0x1F;

class EProtection : public Exception {
public:
    using Exception::Exception;
};

// Text formats: binary strings to text and back.
class TStringFormat {
public:
    virtual ~TStringFormat() = default;
    virtual std::u16string Name() const { return u"copy Input to Output"; }
    // Binary bytes to text.
    virtual std::string ToStr(const std::string& value) const { return value; }
    // Text back to binary bytes; characters outside the format are skipped.
    virtual std::string StrTo(const std::string& value) const { return value; }
};

class TStringFormat_HEX : public TStringFormat {
public:
    std::u16string Name() const override { return u"Hexadecimal"; }
    std::string ToStr(const std::string& value) const override;
    std::string StrTo(const std::string& value) const override;

protected:
    virtual const char* Digits() const { return "0123456789ABCDEF"; }
};

class TStringFormat_HEXL : public TStringFormat_HEX {
public:
    std::u16string Name() const override { return u"Hexadecimal lowercase"; }

protected:
    const char* Digits() const override { return "0123456789abcdef"; }
};

class TStringFormat_MIME64 : public TStringFormat {
public:
    std::u16string Name() const override { return u"MIME Base 64"; }
    std::string ToStr(const std::string& value) const override;
    std::string StrTo(const std::string& value) const override;
};

// UU and XX coding: lines of up to 45 bytes, each led by its length
// character and followed by four characters per three bytes.
class TStringFormat_UU : public TStringFormat {
public:
    std::u16string Name() const override { return u"UU Coding"; }
    std::string ToStr(const std::string& value) const override;
    std::string StrTo(const std::string& value) const override;

protected:
    virtual const char* Table() const;
};

class TStringFormat_XX : public TStringFormat_UU {
public:
    std::u16string Name() const override { return u"XX Coding"; }

protected:
    const char* Table() const override;
};

// The formats registered at start-up: the copying base format, HEX, HEXL,
// MIME64, UU and XX, in that order.
const std::vector<const TStringFormat*>& StringFormats();
// The registered format of that name, or nullptr.
const TStringFormat* StringFormatByName(const std::u16string& name);

class TProtection : public std::enable_shared_from_this<TProtection> {
public:
    TProtection() = default;
    explicit TProtection(std::shared_ptr<TProtection> AProtection);
    virtual ~TProtection() = default;
    TProtection(const TProtection&) = delete;
    TProtection& operator=(const TProtection&) = delete;

    // The next object of the chain. Setting one whose chain leads back to
    // this object raises EProtection.
    const std::shared_ptr<TProtection>& Protection() const { return FProtection; }
    void SetProtection(std::shared_ptr<TProtection> value);
    TPActions Actions() const { return FActions; }
    void SetActions(TPActions value) { FActions = value; }

    // Runs DataSize bytes (all of Source from its position when negative)
    // from Source to Dest through the chain.
    void CodeStream(TStream& Source, TStream& Dest, int64_t DataSize, TPAction Action);
    void CodeFile(const std::u16string& Source, const std::u16string& Dest, TPAction Action);
    // For paDecode the input is first converted from Format to bytes; for
    // the other actions the result is converted to Format. nullptr copies.
    std::string CodeString(const std::string& Source, TPAction Action,
                           const TStringFormat* Format = nullptr);
    void CodeBuffer(void* Buffer, int32_t BufferSize, TPAction Action);

protected:
    // One coding run: CodeInit, CodeBuf for each piece, CodeDone. The base
    // versions pass the call along the chain.
    virtual void CodeInit(TPAction Action);
    virtual void CodeDone(TPAction Action);
    virtual void CodeBuf(void* Buffer, int32_t BufferSize, TPAction Action);

    std::shared_ptr<TProtection> FProtection;
    TPActions FActions = paAllActions;
};

} // namespace za
