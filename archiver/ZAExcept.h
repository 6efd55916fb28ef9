// The archive component's exception: a native error number (where and why it
// failed) and an error code (which message text), composed into a message
// such as "Archiver: File name is blank. Specify appropriate file name - Native error: 00009".
#pragma once

#include <cstdint>

#include "platform/Component.h"
#include "platform/Exception.h"
#include "platform/Format.h"

namespace za {

class EZAException : public Exception {
public:
    EZAException(int32_t nativeErr, const TComponent* component);
    EZAException(int32_t nativeErr, const TVarArgs& args, const TComponent* component);

    int32_t ErrorCode() const noexcept { return FErrorCode; }
    int32_t NativeError() const noexcept { return FNativeError; }

private:
    int32_t FErrorCode = 0;
    int32_t FNativeError = 0;
};

} // namespace za
