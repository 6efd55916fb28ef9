#include "platform/Exception.h"

#include "platform/Format.h"
#include "platform/Path.h"

namespace za {

Exception::Exception(std::u16string message)
    : FMessage(std::move(message)), FWhat(ToUtf8(FMessage)) {}

void Exception::SetMessage(std::u16string message) {
    FMessage = std::move(message);
    FWhat = ToUtf8(FMessage);
}

EInOutError::EInOutError(int32_t errorCode)
    : Exception(Format(u"I/O error %d", {int64_t{errorCode}})), FErrorCode(errorCode) {}

EOSError::EOSError(std::u16string message, int32_t errorCode)
    : Exception(std::move(message)), FErrorCode(errorCode) {}

} // namespace za
