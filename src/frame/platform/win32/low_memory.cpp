// Buffers a host can read through a 32-bit address: committed in a free
// range of the low 2 GiB (a host may sign-extend the value, so the top
// bit stays clear), found by walking the address space.
#include <algorithm>

#include "frame/platform/win32/objects.h"

namespace kd::platform {

namespace {

constexpr uintptr_t kLimit = 0x80000000u;

uintptr_t alignUp(uintptr_t value, uintptr_t granule) { return (value + granule - 1) / granule * granule; }

}  // namespace

void* allocateLow(size_t size) {
    if (size == 0) size = 1;
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    uintptr_t granule = info.dwAllocationGranularity ? info.dwAllocationGranularity : 0x10000;
    if (size >= kLimit) return nullptr;
    uintptr_t address = alignUp(reinterpret_cast<uintptr_t>(info.lpMinimumApplicationAddress), granule);
    while (address < kLimit && size <= kLimit - address) {
        MEMORY_BASIC_INFORMATION region;
        if (VirtualQuery(reinterpret_cast<void*>(address), &region, sizeof region) == 0) break;
        uintptr_t regionEnd = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
        if (region.State == MEM_FREE) {
            uintptr_t end = std::min(regionEnd, kLimit);
            if (end > address && end - address >= size) {
                void* p = VirtualAlloc(reinterpret_cast<void*>(address), size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
                if (p) return p;
                // Taken meanwhile by another thread: look at this range again.
                continue;
            }
        }
        if (regionEnd <= address) break;
        address = alignUp(regionEnd, granule);
    }
    return nullptr;
}

void freeLow(void* memory, size_t /*size*/) {
    if (memory) VirtualFree(memory, 0, MEM_RELEASE);
}

}  // namespace kd::platform
