// Exceptions of the platform layer. Every exception the engine raises derives
// from za::Exception, which holds a UTF-16 message (what() gives it as UTF-8).
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace za {

class Exception : public std::exception {
public:
    explicit Exception(std::u16string message);
    ~Exception() override = default;

    const std::u16string& Message() const noexcept { return FMessage; }
    void SetMessage(std::u16string message);
    const char* what() const noexcept override { return FWhat.c_str(); }

private:
    std::u16string FMessage;
    std::string FWhat; // UTF-8 copy of FMessage for what()
};

// Stream and file failures that pass through the engine unchanged.
class EStreamError : public Exception {
public:
    using Exception::Exception;
};
class EFOpenError : public EStreamError { // "Cannot open file "%s". <reason>"
public:
    using EStreamError::EStreamError;
};
class EFCreateError : public EStreamError { // "Cannot create file "%s". <reason>"
public:
    using EStreamError::EStreamError;
};
class EReadError : public EStreamError { // "Stream read error"
public:
    using EStreamError::EStreamError;
};
class EWriteError : public EStreamError { // "Stream write error"
public:
    using EStreamError::EStreamError;
};

// Text-file I/O failure: "I/O error %d".
class EInOutError : public Exception {
public:
    explicit EInOutError(int32_t errorCode);
    int32_t ErrorCode() const noexcept { return FErrorCode; }

private:
    int32_t FErrorCode;
};

// Bad format string or too few arguments for the string formatting.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// Any other failure of an operating-system call, with the system's reason.
class EOSError : public Exception {
public:
    EOSError(std::u16string message, int32_t errorCode);
    int32_t ErrorCode() const noexcept { return FErrorCode; }

private:
    int32_t FErrorCode;
};

} // namespace za
