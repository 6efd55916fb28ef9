#include "archiver/ZAExcept.h"

#include "archiver/ZAConst.h"

namespace za {

namespace {

// Composes "<Name>: <text> - Native error: 000NN"; the text is formatted with
// the arguments only when the caller gave some (placeholders stay otherwise).
std::u16string ComposeMessage(int32_t nativeErr, int32_t errorCode, const TVarArgs* args,
                              const TComponent* component) {
    std::u16string text(ArchiverMessages[static_cast<std::size_t>(errorCode)]);
    if (args != nullptr) {
        text = Format(text, *args);
    }
    if (component != nullptr && !component->Name().empty()) {
        text = component->Name() + u": " + text;
    }
    // "%5d" with every blank of the field turned into "0"; a sixth digit or a
    // minus sign simply widens the field.
    std::u16string field = IntToStr(nativeErr);
    if (field.size() < 5) {
        field.insert(0, 5 - field.size(), u' ');
    }
    for (char16_t& c : field) {
        if (c == u' ') {
            c = u'0';
        }
    }
    text += u" - Native error: ";
    text += field;
    return text;
}

} // namespace

EZAException::EZAException(int32_t nativeErr, const TComponent* component)
    : Exception(u""), FErrorCode(NativeErrorToMessageIndex(nativeErr)), FNativeError(nativeErr) {
    SetMessage(ComposeMessage(FNativeError, FErrorCode, nullptr, component));
}

EZAException::EZAException(int32_t nativeErr, const TVarArgs& args, const TComponent* component)
    : Exception(u""), FErrorCode(NativeErrorToMessageIndex(nativeErr)), FNativeError(nativeErr) {
    SetMessage(ComposeMessage(FNativeError, FErrorCode, &args, component));
}

} // namespace za
