// Buffers a host can read through a 32-bit address: mapped in the low
// 2 GiB of the address space.
#include <sys/mman.h>

#include "frame/platform/platform.h"

namespace kd::platform {

void* allocateLow(size_t size) {
    if (size == 0) size = 1;
#if defined(MAP_32BIT)
    void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
#else
    return nullptr;  // no way to ask for low addresses on this system
#endif
}

void freeLow(void* memory, size_t size) {
    if (memory) ::munmap(memory, size == 0 ? 1 : size);
}

}  // namespace kd::platform
