#include "frame/handle_registry.h"

#include <limits>

namespace kd {

HandleRegistry& HandleRegistry::instance() {
    static HandleRegistry registry;
    return registry;
}

int32_t HandleRegistry::insert(Owned object, const void* type) {
    std::unique_lock lock(mutex_);
    // Walk forward from the last handle given, wrapping before the sign bit,
    // so that a released handle is not handed out again soon.
    int32_t handle = next_;
    while (entries_.count(handle) != 0) {
        handle = handle == std::numeric_limits<int32_t>::max() ? 1 : handle + 1;
    }
    entries_.emplace(handle, Entry{std::move(object), type});
    next_ = handle == std::numeric_limits<int32_t>::max() ? 1 : handle + 1;
    return handle;
}

void* HandleRegistry::lookup(int64_t handle, const void* type) const noexcept {
    if (handle <= 0 || handle > std::numeric_limits<int32_t>::max()) return nullptr;
    std::shared_lock lock(mutex_);
    auto it = entries_.find(static_cast<int32_t>(handle));
    if (it == entries_.end() || it->second.type != type) return nullptr;
    return it->second.object.get();
}

bool HandleRegistry::erase(int64_t handle, const void* type) noexcept {
    if (handle <= 0 || handle > std::numeric_limits<int32_t>::max()) return false;
    Owned doomed(nullptr, [](void*) {});
    {
        std::unique_lock lock(mutex_);
        auto it = entries_.find(static_cast<int32_t>(handle));
        if (it == entries_.end() || it->second.type != type) return false;
        doomed = std::move(it->second.object);
        entries_.erase(it);
    }
    // The object is destroyed outside the lock.
    return true;
}

size_t HandleRegistry::size() const {
    std::shared_lock lock(mutex_);
    return entries_.size();
}

}  // namespace kd
