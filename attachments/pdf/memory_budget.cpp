#include "attachments/pdf/memory_budget.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace attachments::mupdf {
namespace {

// Each block starts with its size, padded so that what MuPDF gets keeps malloc's alignment.
constexpr std::size_t kHeader = alignof(std::max_align_t);

std::size_t sizeOf(const unsigned char* base) {
    std::size_t size;
    std::memcpy(&size, base, sizeof size);
    return size;
}

void* blockAt(unsigned char* base, std::size_t size) {
    std::memcpy(base, &size, sizeof size);
    return base + kHeader;
}

unsigned char* baseOf(void* block) {
    return static_cast<unsigned char*>(block) - kHeader;
}

} // namespace

fz_alloc_context MemoryBudget::allocator() {
    return {this, allocate, reallocate, release};
}

bool MemoryBudget::take(std::size_t size) {
    if (size > ceiling_ - inUse_) return false;
    inUse_ += size;
    if (inUse_ > peak_) peak_ = inUse_;
    return true;
}

void* MemoryBudget::allocate(void* user, std::size_t size) {
    auto& budget = *static_cast<MemoryBudget*>(user);
    if (size > SIZE_MAX - kHeader || !budget.take(size)) return nullptr;
    auto* base = static_cast<unsigned char*>(std::malloc(kHeader + size));
    if (!base) {
        budget.inUse_ -= size;
        return nullptr;
    }
    return blockAt(base, size);
}

void* MemoryBudget::reallocate(void* user, void* block, std::size_t size) {
    if (!block) return allocate(user, size);
    auto& budget = *static_cast<MemoryBudget*>(user);
    const std::size_t old = sizeOf(baseOf(block));
    if (size > SIZE_MAX - kHeader) return nullptr;
    if (size > old && !budget.take(size - old)) return nullptr;
    auto* base = static_cast<unsigned char*>(std::realloc(baseOf(block), kHeader + size));
    if (!base) {
        if (size > old) budget.inUse_ -= size - old;
        return nullptr; // the old block stands, as realloc leaves it
    }
    if (size < old) budget.inUse_ -= old - size;
    return blockAt(base, size);
}

void MemoryBudget::release(void* user, void* block) {
    if (!block) return;
    auto& budget = *static_cast<MemoryBudget*>(user);
    unsigned char* base = baseOf(block);
    budget.inUse_ -= sizeOf(base);
    std::free(base);
}

} // namespace attachments::mupdf
