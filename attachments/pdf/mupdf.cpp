#include "attachments/pdf/mupdf.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <new>

namespace attachments::mupdf {
namespace {

void ignoreMessage(void*, const char*) {}

// A MuPDF stream over the input file: positioned reads through its descriptor, a buffer
// at a time, as MuPDF's own file stream does with stdio.
struct FileStream {
    const InputFile* file;
    std::uint64_t next; // file offset of the byte after the buffer
    unsigned char buffer[16384];
};

int nextFromFile(fz_context* ctx, fz_stream* stm, std::size_t) {
    auto* state = static_cast<FileStream*>(stm->state);
    // Nothing here needs destroying: fz_throw jumps straight back into MuPDF.
    const std::size_t got =
        state->file->readAt(state->next, state->buffer, sizeof state->buffer).value_or(SIZE_MAX);
    if (got == SIZE_MAX) fz_throw(ctx, FZ_ERROR_GENERIC, "read error");
    state->next += got;
    stm->rp = state->buffer;
    stm->wp = state->buffer + got;
    stm->pos = static_cast<int64_t>(state->next);
    if (got == 0) return EOF;
    return *stm->rp++;
}

// MuPDF has already turned a relative seek into an absolute one.
void seekInFile(fz_context* ctx, fz_stream* stm, int64_t offset, int whence) {
    auto* state = static_cast<FileStream*>(stm->state);
    const int64_t base = whence == SEEK_END ? static_cast<int64_t>(state->file->size()) : 0;
    if (offset < -base) fz_throw(ctx, FZ_ERROR_GENERIC, "seek before the start");
    state->next = static_cast<std::uint64_t>(base + offset);
    stm->pos = static_cast<int64_t>(state->next);
    stm->rp = stm->wp = state->buffer;
}

void dropFileStream(fz_context* ctx, void* state) {
    fz_free(ctx, state);
}

} // namespace

void dropPdfPage(fz_context* ctx, pdf_page* page) {
    fz_drop_page(ctx, page ? &page->super : nullptr);
}

Context newContext(std::size_t ceiling) noexcept {
    Context context;
    context.budget_.reset(new (std::nothrow) MemoryBudget(ceiling));
    if (!context.budget_) return context;
    const fz_alloc_context allocator = context.budget_->allocator();
    context.ctx_.reset(fz_new_context(&allocator, nullptr, ceiling / 2));
    if (context.ctx_) {
        fz_set_warning_callback(context.get(), ignoreMessage, nullptr);
        fz_set_error_callback(context.get(), ignoreMessage, nullptr);
    }
    return context;
}

pdf_document* openPdf(fz_context* ctx, const InputFile& file) noexcept {
    const InputFile* input = &file;
    pdf_document* doc = nullptr;
    fz_stream* stream = nullptr;
    fz_var(doc);
    fz_var(stream);
    fz_try(ctx) {
        auto* state = static_cast<FileStream*>(fz_malloc(ctx, sizeof(FileStream)));
        state->file = input;
        state->next = 0;
        stream = fz_new_stream(ctx, state, nextFromFile, dropFileStream);
        stream->seek = seekInFile;
        doc = pdf_open_document_with_stream(ctx, stream); // keeps its own reference
    }
    fz_always(ctx) {
        fz_drop_stream(ctx, stream);
    }
    fz_catch(ctx) {
        return nullptr;
    }
    return doc;
}

bool hasEncryption(fz_context* ctx, pdf_document* doc, bool& ok) noexcept {
    int encrypted = 0;
    fz_var(encrypted);
    fz_try(ctx) {
        pdf_obj* entry = pdf_dict_get(ctx, pdf_trailer(ctx, doc), PDF_NAME(Encrypt));
        encrypted = !pdf_is_null(ctx, entry) || pdf_needs_password(ctx, doc);
    }
    fz_catch(ctx) {
        ok = false;
        return false;
    }
    ok = true;
    return encrypted != 0;
}

int countPages(fz_context* ctx, pdf_document* doc) noexcept {
    int count = -1;
    fz_var(count);
    fz_try(ctx) {
        count = pdf_count_pages(ctx, doc);
    }
    fz_catch(ctx) {
        return -1;
    }
    return count;
}

pdf_page* loadPage(fz_context* ctx, pdf_document* doc, int index) noexcept {
    pdf_page* page = nullptr;
    fz_var(page);
    fz_try(ctx) {
        page = pdf_load_page(ctx, doc, index);
    }
    fz_catch(ctx) {
        return nullptr;
    }
    return page;
}

bool mediaBox(fz_context* ctx, pdf_page* page, Box& box) noexcept {
    float corners[4] = {0, 0, 0, 0};
    int found = 0;
    fz_var(found);
    fz_try(ctx) {
        pdf_obj* array = pdf_dict_get_inheritable(ctx, page->obj, PDF_NAME(MediaBox));
        if (pdf_is_array(ctx, array) && pdf_array_len(ctx, array) == 4) {
            found = 1;
            for (int i = 0; i < 4; ++i) {
                pdf_obj* number = pdf_array_get(ctx, array, i);
                if (!pdf_is_number(ctx, number)) found = 0;
                corners[i] = pdf_to_real(ctx, number);
            }
        }
    }
    fz_catch(ctx) {
        return false;
    }
    box = {corners[0], corners[1], corners[2], corners[3]};
    return found != 0;
}

int quarterTurns(fz_context* ctx, pdf_page* page) noexcept {
    int degrees = 0;
    fz_var(degrees);
    fz_try(ctx) {
        degrees = pdf_to_int(ctx, pdf_dict_get_inheritable(ctx, page->obj, PDF_NAME(Rotate)));
    }
    fz_catch(ctx) {
        return 0;
    }
    // As viewers do: any angle, rounded to the nearest quarter turn.
    degrees %= 360;
    if (degrees < 0) degrees += 360;
    return ((degrees + 45) / 90) % 4;
}

bool pageTransform(fz_context* ctx, pdf_page* page, fz_matrix& transform) noexcept {
    fz_matrix result = fz_identity;
    fz_try(ctx) {
        pdf_page_transform(ctx, page, nullptr, &result);
    }
    fz_catch(ctx) {
        return false;
    }
    transform = result;
    return true;
}

fz_pixmap* newWhitePixmap(fz_context* ctx, int width, int height) noexcept {
    fz_pixmap* pixmap = nullptr;
    fz_var(pixmap);
    fz_try(ctx) {
        pixmap = fz_new_pixmap(ctx, fz_device_rgb(ctx), width, height, nullptr, 0);
        fz_clear_pixmap_with_value(ctx, pixmap, 255);
    }
    fz_catch(ctx) {
        fz_drop_pixmap(ctx, pixmap);
        return nullptr;
    }
    return pixmap;
}

fz_device* newDrawDevice(fz_context* ctx, fz_pixmap* pixmap) noexcept {
    fz_device* device = nullptr;
    fz_var(device);
    fz_try(ctx) {
        device = fz_new_draw_device(ctx, fz_identity, pixmap);
    }
    fz_catch(ctx) {
        return nullptr;
    }
    return device;
}

bool drawPage(fz_context* ctx, pdf_page* page, fz_device* device, fz_matrix transform) noexcept {
    fz_try(ctx) {
        pdf_run_page(ctx, page, device, transform, nullptr);
        fz_close_device(ctx, device);
    }
    fz_catch(ctx) {
        return false;
    }
    return true;
}

fz_stext_page* newTextPage(fz_context* ctx, pdf_page* page) noexcept {
    fz_stext_page* text = nullptr;
    fz_var(text);
    fz_try(ctx) {
        text = fz_new_stext_page_from_page(ctx, &page->super, nullptr);
    }
    fz_catch(ctx) {
        return nullptr;
    }
    return text;
}

fz_buffer* textOf(fz_context* ctx, fz_stext_page* text) noexcept {
    fz_buffer* buffer = nullptr;
    fz_var(buffer);
    fz_try(ctx) {
        buffer = fz_new_buffer_from_stext_page(ctx, text);
    }
    fz_catch(ctx) {
        return nullptr;
    }
    return buffer;
}

} // namespace attachments::mupdf
