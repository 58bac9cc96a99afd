#pragma once
#include <memory>
#include <new>
#include <utility>

namespace kb::core {

// Owns one global service. The context only declares the service types (they live in
// libraries above core), so the code that creates a service, which sees the whole type,
// also supplies how it is destroyed.
template <class T>
using ServicePtr = std::unique_ptr<T, void (*)(T*)>;

template <class T>
ServicePtr<T> no_service() {
    return ServicePtr<T>(nullptr, nullptr);
}

// Creates the service in slot unless one is there already. A failed allocation leaves
// the slot null: start continues and every user checks. Returns the service or null.
template <class T, class... Args>
T* create_service(ServicePtr<T>& slot, Args&&... args) {
    if (!slot) slot = ServicePtr<T>(new (std::nothrow) T(std::forward<Args>(args)...), [](T* service) { delete service; });
    return slot.get();
}

}  // namespace kb::core
