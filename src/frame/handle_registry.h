// Process-wide table of the objects that live behind 32-bit handles.
// Handles are small positive integers, never 0, and are not reused while
// their object lives. A handle that is unknown, released, or that names an
// object of another type is treated like 0 (lookups give null), so a host
// mistake never reaches a wrong object or freed memory.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>

namespace kd {

class HandleRegistry {
public:
    static HandleRegistry& instance();

    // Takes ownership; returns the new handle, or 0 when memory is short.
    template <class T>
    int32_t add(std::unique_ptr<T> object) noexcept {
        if (!object) return 0;
        try {
            Owned owned(object.get(), [](void* p) { delete static_cast<T*>(p); });
            object.release();
            return insert(std::move(owned), typeTag<T>());
        } catch (...) {
            return 0;
        }
    }

    // The object behind handle, or null.
    template <class T>
    T* find(int64_t handle) const noexcept {
        return static_cast<T*>(lookup(handle, typeTag<T>()));
    }

    // Destroys the object behind handle; false when there is none.
    template <class T>
    bool release(int64_t handle) noexcept {
        return erase(handle, typeTag<T>());
    }

    size_t size() const;

private:
    using Owned = std::unique_ptr<void, void (*)(void*)>;
    struct Entry {
        Owned object;
        const void* type;
    };

    template <class T>
    static const void* typeTag() noexcept {
        static const char tag = 0;
        return &tag;
    }

    int32_t insert(Owned object, const void* type);
    void* lookup(int64_t handle, const void* type) const noexcept;
    bool erase(int64_t handle, const void* type) noexcept;

    mutable std::shared_mutex mutex_;
    std::unordered_map<int32_t, Entry> entries_;
    int32_t next_ = 1;
};

}  // namespace kd
