// Base of the engine's components: an owner, a Name and a Tag.
#pragma once

#include <cstdint>
#include <string>

namespace za {

class TComponent {
public:
    explicit TComponent(TComponent* owner = nullptr) : FOwner(owner) {}
    virtual ~TComponent() = default;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return FOwner; }
    const std::u16string& Name() const { return FName; }
    void SetName(const std::u16string& name) { FName = name; }
    intptr_t Tag() const { return FTag; }
    void SetTag(intptr_t tag) { FTag = tag; }

private:
    TComponent* FOwner;
    std::u16string FName;
    intptr_t FTag = 0;
};

} // namespace za
