#pragma once
// A ceiling on the memory MuPDF may hold. MuPDF's allocations go through `allocator()`;
// one that would take the total past the ceiling fails, as it would under a process
// memory limit: MuPDF first empties its caches and retries, then gives up on that one
// object (an image, typically) and draws the rest of the page.

#include <cstddef>

extern "C" {
#include <mupdf/fitz/context.h>
}

namespace attachments::mupdf {

class MemoryBudget {
public:
    explicit MemoryBudget(std::size_t ceiling) : ceiling_(ceiling) {}
    MemoryBudget(const MemoryBudget&) = delete;
    MemoryBudget& operator=(const MemoryBudget&) = delete;

    // MuPDF's allocator, drawing on this budget, which must outlive every block.
    fz_alloc_context allocator();

    std::size_t ceiling() const { return ceiling_; }
    std::size_t inUse() const { return inUse_; }
    std::size_t peak() const { return peak_; }

private:
    static void* allocate(void* budget, std::size_t size);
    static void* reallocate(void* budget, void* block, std::size_t size);
    static void release(void* budget, void* block);
    bool take(std::size_t size);

    std::size_t ceiling_;
    std::size_t inUse_ = 0;
    std::size_t peak_ = 0;
};

} // namespace attachments::mupdf
