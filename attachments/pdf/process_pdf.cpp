#include "attachments/pdf/process_pdf.h"

#include "attachments/failure.h"
#include "attachments/jpeg_writer.h"
#include "attachments/pdf/mupdf.h"
#include "attachments/pdf/page_selection.h"
#include "attachments/pdf/page_text.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace attachments {
namespace {

constexpr int maxDocumentPages = 100;
constexpr double targetLongSide = 2000;

// The drawing that maps the page's media box, as stored, onto a pixmap whose longer side
// is 2000 pixels, white where the page draws nothing. A page with a rotation is drawn
// turned as a viewer shows it: the same pixels with width and height exchanged for a
// quarter turn.
struct PageDrawing {
    int width = 0, height = 0;
    fz_matrix transform = fz_identity; // media box user space to pixmap pixels
};

int wholePixels(double size) {
    return std::max(1, static_cast<int>(std::lround(size)));
}

PageDrawing planDrawing(const mupdf::Box& box, double scale, int quarterTurns) {
    double x0 = std::min(box.x0, box.x1), y1 = std::max(box.y0, box.y1);
    double width = std::fabs(box.x1 - box.x0) * scale, height = std::fabs(box.y1 - box.y0) * scale;
    // PDF space grows upwards, pixmaps grow downwards: flip, with the box's top-left corner
    // at the origin, then turn about the origin and move the turned box back onto it.
    fz_matrix upright =
        fz_make_matrix(float(scale), 0, 0, float(-scale), float(-x0 * scale), float(y1 * scale));
    fz_matrix turned = fz_concat(upright, fz_rotate(90.0f * float(quarterTurns)));
    fz_rect bounds = fz_transform_rect(fz_make_rect(0, 0, float(width), float(height)),
                                       fz_rotate(90.0f * float(quarterTurns)));
    PageDrawing drawing;
    drawing.transform = fz_concat(turned, fz_translate(-bounds.x0, -bounds.y0));
    bool sideways = quarterTurns % 2 == 1;
    drawing.width = wholePixels(sideways ? height : width);
    drawing.height = wholePixels(sideways ? width : height);
    return drawing;
}

// One document, open for the length of the job; its context outlives every handle.
class PdfFile {
public:
    PdfFile(const std::string& path, std::size_t memoryCeiling)
        : ctx_(mupdf::newContext(memoryCeiling)), input_(InputFile::open(path)) {
        // Only a plain file: a device such as /dev/zero or a named pipe would have MuPDF
        // read, or wait, for ever.
        if (!ctx_ || !input_) fail(kUnsupportedPdf);
        doc_ = mupdf::own<mupdf::Document>(ctx(), mupdf::openPdf(ctx(), *input_));
        if (!doc_) fail(kUnsupportedPdf);
        bool readable = false;
        if (mupdf::hasEncryption(ctx(), doc_.get(), readable) || !readable) fail(kUnsupportedPdf);
        pageCount_ = mupdf::countPages(ctx(), doc_.get());
        if (pageCount_ < 1 || pageCount_ > maxDocumentPages) fail(kUnsupportedPdf);
    }

    int pageCount() const { return pageCount_; }

    // Renders page `number` (1-based, within the document) to `path` and returns its text.
    std::string preparePage(int number, const std::string& path) {
        mupdf::Page page =
            mupdf::own<mupdf::Page>(ctx(), mupdf::loadPage(ctx(), doc_.get(), number - 1));
        if (!page) fail(kInvalidPage);

        mupdf::Box box{};
        bool hasBox = mupdf::mediaBox(ctx(), page.get(), box);
        double width = std::fabs(box.x1 - box.x0), height = std::fabs(box.y1 - box.y0);
        if (!hasBox || !std::isfinite(width) || !std::isfinite(height) || width <= 0 || height <= 0)
            fail(kInvalidPdfDimensions);

        render(page.get(), box, targetLongSide / std::max(width, height), path);
        return textOf(page.get());
    }

private:
    fz_context* ctx() const { return ctx_.get(); }

    // Draws the page and writes it; the pixmap is released before the next page.
    void render(pdf_page* page, const mupdf::Box& box, double scale, const std::string& path) {
        PageDrawing drawing = planDrawing(box, scale, mupdf::quarterTurns(ctx(), page));
        fz_matrix pageTransform;
        if (!mupdf::pageTransform(ctx(), page, pageTransform)) fail(kCannotRenderPdf);
        // MuPDF puts its own page transform in front of ours: take it back out.
        fz_matrix transform = fz_concat(fz_invert_matrix(pageTransform), drawing.transform);

        auto pixmap = mupdf::own<mupdf::Pixmap>(
            ctx(), mupdf::newWhitePixmap(ctx(), drawing.width, drawing.height));
        if (!pixmap) fail(kCannotRenderPdf);
        auto device = mupdf::own<mupdf::Device>(ctx(), mupdf::newDrawDevice(ctx(), pixmap.get()));
        if (!device || !mupdf::drawPage(ctx(), page, device.get(), transform))
            fail(kCannotRenderPdf);
        device.reset();

        RgbView view{fz_pixmap_samples(ctx(), pixmap.get()), fz_pixmap_width(ctx(), pixmap.get()),
                     fz_pixmap_height(ctx(), pixmap.get()),
                     static_cast<std::size_t>(fz_pixmap_stride(ctx(), pixmap.get()))};
        writeImage(view, path);
    }

    // The page's text cut to its first 60001 characters; a page whose text cannot be
    // extracted has none.
    std::string textOf(pdf_page* page) {
        auto text = mupdf::own<mupdf::TextPage>(ctx(), mupdf::newTextPage(ctx(), page));
        if (!text) return "";
        auto buffer = mupdf::own<mupdf::Buffer>(ctx(), mupdf::textOf(ctx(), text.get()));
        if (!buffer) return "";
        unsigned char* bytes = nullptr;
        std::size_t size = fz_buffer_storage(ctx(), buffer.get(), &bytes);
        std::string_view all(reinterpret_cast<const char*>(bytes), size);
        return pageText(all);
    }

    mupdf::Context ctx_;
    std::optional<InputFile> input_; // read by the document for as long as it lives
    mupdf::Document doc_{nullptr, {nullptr}};
    int pageCount_ = 0;
};

} // namespace

common::Json processPdf(const common::Json& job, const std::string& input,
                        const std::string& operation) {
    return processPdf(job, input, operation, mupdf::kMemoryCeiling);
}

common::Json processPdf(const common::Json& job, const std::string& input,
                        const std::string& operation, std::size_t memoryCeiling) {
    PdfFile pdf(input, memoryCeiling);
    common::Json report = {{"kind", "pdf"}, {"pages", pdf.pageCount()}};
    if (operation != "prepare") return report;

    auto output = job.find("output");
    if (output == job.end() || !output->is_string()) fail(kSelectPdfPages);
    std::optional<std::vector<std::int64_t>> pages = pageSelection(job);
    if (!pages) fail(kSelectPdfPages);

    common::Json items = common::Json::array();
    for (std::int64_t number : *pages) {
        if (number < 1 || number > pdf.pageCount()) fail(kInvalidPage);
        std::string file = "page-" + std::to_string(number) + ".jpg";
        std::string path = (std::filesystem::path(output->get<std::string>()) / file).string();
        std::string text = pdf.preparePage(static_cast<int>(number), path);
        items.push_back({{"file", file}, {"page", number}, {"text", std::move(text)}});
    }
    report["items"] = std::move(items);
    return report;
}

} // namespace attachments
