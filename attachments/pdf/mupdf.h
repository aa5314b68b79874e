#pragma once
// MuPDF, as the PDF path uses it: owned handles, and one small wrapper per library call
// that may raise. MuPDF raises errors with longjmp, which must never cross a C++
// destructor or exception; so every guarded region sits inside one of these wrappers,
// holds nothing that needs destroying, and reports failure as a null or false result.

#include "attachments/input_file.h"
#include "attachments/pdf/memory_budget.h"
#include "common/unique_handle.h"

#include <cstddef>
#include <memory>

extern "C" {
#include <mupdf/fitz.h>
#include <mupdf/pdf.h>
}

namespace attachments::mupdf {

// A context whose allocations draw on a budget of their own.
class Context {
public:
    fz_context* get() const { return ctx_.get(); }
    explicit operator bool() const { return ctx_ != nullptr; }
    const MemoryBudget& memory() const { return *budget_; }

private:
    friend Context newContext(std::size_t ceiling) noexcept;
    std::unique_ptr<MemoryBudget> budget_; // outlives the context, which allocates from it
    common::Owned<fz_context, fz_drop_context> ctx_;
};

// A handle released through its context, which must outlive it.
template <class T, void (*Drop)(fz_context*, T*)> struct Dropper {
    fz_context* ctx;
    void operator()(T* handle) const noexcept { Drop(ctx, handle); }
};
template <class T, void (*Drop)(fz_context*, T*)>
using Owned = std::unique_ptr<T, Dropper<T, Drop>>;

void dropPdfPage(fz_context* ctx, pdf_page* page);

using Document = Owned<pdf_document, pdf_drop_document>;
using Page = Owned<pdf_page, dropPdfPage>;
using Pixmap = Owned<fz_pixmap, fz_drop_pixmap>;
using Device = Owned<fz_device, fz_drop_device>;
using TextPage = Owned<fz_stext_page, fz_drop_stext_page>;
using Buffer = Owned<fz_buffer, fz_drop_buffer>;

template <class Handle, class T> Handle own(fz_context* ctx, T* handle) {
    return Handle(handle, {ctx});
}

// What MuPDF may hold for one job. Real pages need a small part of it (the page's pixmap
// is at most 12 MB, and MuPDF decodes images at the size they are drawn); an image made to
// expand without bound, such as a JBIG2 "bomb", is refused its memory instead. MuPDF's
// cache of decoded objects may fill half of it.
inline constexpr std::size_t kMemoryCeiling = std::size_t{256} << 20;

// A context whose warnings and errors go nowhere (the program prints nothing of its own
// libraries) and whose memory stops at `ceiling`. Null when MuPDF cannot start.
Context newContext(std::size_t ceiling = kMemoryCeiling) noexcept;

// Opens `file` as a PDF (no format sniffing), read through its descriptor, which must stay
// open as long as the document. Null when it cannot be read as one.
pdf_document* openPdf(fz_context* ctx, const InputFile& file) noexcept;

// Whether the trailer names an encryption dictionary: true even when the document opened
// with the empty user password. False on error too; `ok` tells them apart.
bool hasEncryption(fz_context* ctx, pdf_document* doc, bool& ok) noexcept;

// The page count, or -1 when the page tree cannot be read.
int countPages(fz_context* ctx, pdf_document* doc) noexcept;

// Page `index` (0-based), or null.
pdf_page* loadPage(fz_context* ctx, pdf_document* doc, int index) noexcept;

// The page's own (inherited) media box as stored: the corners' coordinates, not yet
// ordered. False when there is no such box of four numbers.
struct Box {
    double x0, y0, x1, y1;
};
bool mediaBox(fz_context* ctx, pdf_page* page, Box& box) noexcept;

// The page's rotation in quarter turns, clockwise, 0 to 3 (0 when unreadable).
int quarterTurns(fz_context* ctx, pdf_page* page) noexcept;

// The matrix MuPDF puts in front of every drawing of the page; false on error.
bool pageTransform(fz_context* ctx, pdf_page* page, fz_matrix& transform) noexcept;

// An RGB pixmap without alpha, filled with white; null when it cannot be allocated.
fz_pixmap* newWhitePixmap(fz_context* ctx, int width, int height) noexcept;

fz_device* newDrawDevice(fz_context* ctx, fz_pixmap* pixmap) noexcept;

// Draws the page (contents and annotations) through `transform` onto `device` and closes
// the device. False when the page cannot be drawn.
bool drawPage(fz_context* ctx, pdf_page* page, fz_device* device, fz_matrix transform) noexcept;

// The page's structured text, or null.
fz_stext_page* newTextPage(fz_context* ctx, pdf_page* page) noexcept;

// The structured text as UTF-8, or null.
fz_buffer* textOf(fz_context* ctx, fz_stext_page* text) noexcept;

} // namespace attachments::mupdf
