#include "tests/attachments/support/pdf_builder.h"

#include "common/unique_handle.h"

#include <cstdio>
#include <memory>
#include <stdexcept>

extern "C" {
#include <mupdf/fitz.h>
#include <mupdf/pdf.h>
}

namespace attachments::testing {

namespace {

void put32(std::string& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

// A JBIG2 segment of the embedded form: number, type, no referred segments, page 1.
std::string segment(std::uint32_t number, int type, const std::string& data) {
    std::string out;
    put32(out, number);
    out.push_back(static_cast<char>(type));
    out.push_back(0); // no referred-to segments
    out.push_back(1); // page 1
    put32(out, static_cast<std::uint32_t>(data.size()));
    return out + data;
}

std::string pdfObjects(const std::vector<std::string>& objects) {
    std::string pdf = "%PDF-1.4\n";
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    std::size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (std::size_t offset : offsets) {
        char line[32];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
        pdf += line;
    }
    pdf += "trailer\n<</Size " + std::to_string(objects.size() + 1) + "/Root 1 0 R>>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

std::string streamObject(const std::string& dictionary, const std::string& data) {
    return "<<" + dictionary + "/Length " + std::to_string(data.size()) + ">>stream\n" + data +
           "\nendstream";
}

} // namespace

std::string makePdf(const std::vector<PdfPage>& pages, int declaredCount) {
    std::vector<std::string> objects;
    objects.push_back("<</Type/Catalog/Pages 2 0 R>>");
    std::string kids;
    for (std::size_t i = 0; i < pages.size(); ++i)
        kids += std::to_string(3 + 2 * i) + " 0 R ";
    int count = declaredCount >= 0 ? declaredCount : static_cast<int>(pages.size());
    objects.push_back("<</Type/Pages/Kids[" + kids + "]/Count " + std::to_string(count) +
                      "/Resources<</Font<</F1<</Type/Font/Subtype/Type1/BaseFont/Helvetica"
                      "/Encoding/WinAnsiEncoding>>>>>>>>");
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const PdfPage& page = pages[i];
        std::string box = page.mediaBox.empty() ? "" : "/MediaBox[" + page.mediaBox + "]";
        objects.push_back("<</Type/Page/Parent 2 0 R" + box + "/Contents " +
                          std::to_string(4 + 2 * i) + " 0 R" + page.extra + ">>");
        objects.push_back("<</Length " + std::to_string(page.contents.size()) + ">>stream\n" +
                          page.contents + "\nendstream");
    }
    return pdfObjects(objects);
}

std::string jbig2BombPdf(std::uint32_t side) {
    std::string page; // page information: size, no resolution, flags, no striping
    put32(page, side);
    put32(page, side);
    put32(page, 0);
    put32(page, 0);
    page.append(3, '\0');
    std::string region; // an immediate generic region over the whole page
    put32(region, side);
    put32(region, side);
    put32(region, 0);
    put32(region, 0);
    region.push_back(0);                                          // combination: OR
    region.push_back(0);                                          // arithmetic coding, template 0
    region += std::string("\x03\xFF\xFD\xFF\x02\xFE\xFE\xFE", 8); // the four AT pixels
    region.append(16, '\0');                                      // the coded data
    const std::string data = segment(0, 48, page) + segment(1, 38, region) + segment(2, 49, "");
    const std::string n = std::to_string(side);
    return pdfObjects({
        "<</Type/Catalog/Pages 2 0 R>>",
        "<</Type/Pages/Kids[5 0 R]/Count 1>>",
        streamObject("/Type/XObject/Subtype/Image/Width " + n + "/Height " + n +
                         "/ColorSpace/DeviceGray/BitsPerComponent 1/Filter/JBIG2Decode",
                     data),
        streamObject("", "q 612 0 0 396 0 0 cm /Im1 Do Q BT /F1 24 Tf 72 700 Td (Bomb) Tj ET"),
        "<</Type/Page/Parent 2 0 R/MediaBox[0 0 612 792]/Contents 4 0 R/Resources<</XObject"
        "<</Im1 3 0 R>>/Font<</F1<</Type/Font/Subtype/Type1/BaseFont/Helvetica>>>>>>>>",
    });
}

std::string emojiTextPdf(const std::vector<std::string>& lines, double fontSize) {
    const std::string cmap = "/CIDInit /ProcSet findresource begin 12 dict begin begincmap\n"
                             "/CIDSystemInfo<</Registry(Adobe)/Ordering(UCS)/Supplement 0>> def\n"
                             "/CMapName/Adobe-Identity-UCS def /CMapType 2 def\n"
                             "1 begincodespacerange <00><FF> endcodespacerange\n"
                             "2 beginbfchar\n"
                             "<41><D83CDDEBD83CDDF7>\n"
                             "<42><D83DDC68200DD83DDC69200DD83DDC67>\n"
                             "endbfchar endcmap CMapName currentdict /CMap defineresource pop "
                             "end end\n";
    // A text object a line: MuPDF grows a text object's glyph list a few entries at a
    // time, which is slow under the address sanitizer when one object holds them all.
    std::string contents;
    for (std::size_t i = 0; i < lines.size(); ++i)
        contents += "BT /F1 " + std::to_string(fontSize) + " Tf 10 " +
                    std::to_string(780 - fontSize * 1.2 * static_cast<double>(i + 1)) + " Td (" +
                    lines[i] + ") Tj ET\n";
    return pdfObjects({
        "<</Type/Catalog/Pages 2 0 R>>",
        "<</Type/Pages/Kids[3 0 R]/Count 1>>",
        "<</Type/Page/Parent 2 0 R/MediaBox[0 0 612 792]/Contents 4 0 R"
        "/Resources<</Font<</F1 5 0 R>>>>>>",
        streamObject("", contents),
        "<</Type/Font/Subtype/Type1/BaseFont/Helvetica/ToUnicode 6 0 R>>",
        streamObject("", cmap),
    });
}

std::string makeNumberedPdf(int count) {
    std::vector<PdfPage> pages;
    for (int i = 0; i < count; ++i)
        pages.emplace_back(showText("Page " + std::to_string(i + 1), 72, 700));
    return makePdf(pages);
}

std::string showText(const std::string& text, double x, double y, double size) {
    return "BT /F1 " + std::to_string(size) + " Tf " + std::to_string(x) + " " + std::to_string(y) +
           " Td (" + text + ") Tj ET\n";
}

std::string fillRect(double x, double y, double width, double height) {
    return "0 g " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(width) +
           " " + std::to_string(height) + " re f\n";
}

namespace {

// Kept apart from every C++ object: MuPDF reports errors by longjmp.
bool encrypt(fz_context* ctx, const char* in, const char* out, int method) {
    pdf_document* doc = nullptr;
    fz_var(doc);
    bool ok = true;
    fz_try(ctx) {
        doc = pdf_open_document(ctx, in);
        pdf_write_options options = pdf_default_write_options;
        options.do_encrypt = method;
        std::snprintf(options.opwd_utf8, sizeof options.opwd_utf8, "owner");
        options.upwd_utf8[0] = 0;
        options.permissions = -1;
        pdf_save_document(ctx, doc, out, &options);
    }
    fz_always(ctx) {
        pdf_drop_document(ctx, doc);
    }
    fz_catch(ctx) {
        ok = false;
    }
    return ok;
}

} // namespace

void encryptWithEmptyUserPassword(const std::string& in, const std::string& out, bool aes) {
    common::Owned<fz_context, fz_drop_context> ctx(
        fz_new_context(nullptr, nullptr, FZ_STORE_DEFAULT));
    if (!ctx) throw std::runtime_error("no MuPDF context");
    if (!encrypt(ctx.get(), in.c_str(), out.c_str(),
                 aes ? PDF_ENCRYPT_AES_256 : PDF_ENCRYPT_RC4_128))
        throw std::runtime_error("MuPDF could not encrypt " + in);
}

} // namespace attachments::testing
