// GIF through giflib. The logical screen is the picture; its one frame is laid on a
// transparent screen at its offset. Frames are counted by walking the records and
// skipping the compressed data, so nothing is decompressed before the size is checked.
#include "attachments/image/format_decoders.h"
#include "attachments/image/image_failures.h"
#include "common/unique_handle.h"

#include <gif_lib.h>

#include <algorithm>
#include <vector>

namespace attachments {
namespace {

void closeGif(GifFileType* gif) {
    int ignored = 0;
    DGifCloseFile(gif, &ignored);
}
using UniqueGif = common::Owned<GifFileType, closeGif>;

// giflib's reader: the bytes read, fewer at the end of the data.
int readGif(GifFileType* gif, GifByteType* destination, int length) {
    if (length <= 0) return 0;
    auto& cursor = *static_cast<InputCursor*>(gif->UserData);
    return static_cast<int>(cursor.read(destination, static_cast<std::size_t>(length)));
}

// The file read from its start; `cursor` must outlive the handle.
UniqueGif openGifFile(InputCursor& cursor) {
    cursor.seek(0);
    int error = 0;
    return UniqueGif(DGifOpen(&cursor, readGif, &error));
}

// What precedes and describes the first frame.
struct FirstFrame {
    int transparentIndex = NO_TRANSPARENT_COLOR;
    bool found = false;
};

// Reads records up to the first image descriptor (read, not decoded); false on a broken
// file. Graphics control extensions on the way give the transparent colour.
bool seekFirstFrame(GifFileType* gif, FirstFrame& frame) {
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR) return false;
        if (type == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif) == GIF_ERROR) return false;
            frame.found = true;
            return true;
        }
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return false;
            if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
                GraphicsControlBlock gcb{};
                if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK)
                    frame.transparentIndex = gcb.TransparentColor;
            }
            while (block) {
                if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
            }
            continue;
        }
        return false; // the trailer, or garbage, before any frame
    }
}

// Skips the compressed data of the current frame without decompressing it.
bool skipFrameData(GifFileType* gif) {
    int codeSize = 0;
    GifByteType* block = nullptr;
    if (DGifGetCode(gif, &codeSize, &block) == GIF_ERROR) return false;
    while (block) {
        if (DGifGetCodeNext(gif, &block) == GIF_ERROR) return false;
    }
    return true;
}

// True when a second frame follows the first. A file that breaks off after the first
// frame's descriptor counts as holding one frame: decoding will find the damage.
bool hasSecondFrame(GifFileType* gif) {
    if (!skipFrameData(gif)) return false;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR) return false;
        if (type == IMAGE_DESC_RECORD_TYPE) return true;
        if (type == TERMINATE_RECORD_TYPE) return false;
        if (type != EXTENSION_RECORD_TYPE) return false;
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return false;
        while (block) {
            if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
        }
    }
}

class GifDecoder final : public ImageDecoder {
public:
    GifDecoder(InputFile file, Size screen) : file_(std::move(file)), screen_(screen) {}

    Size storedSize() const override { return screen_; }

    void decode(RowSink& sink) override {
        InputCursor cursor(file_);
        UniqueGif gif = openGifFile(cursor);
        FirstFrame first;
        if (!gif || !seekFirstFrame(gif.get(), first)) failCannotPrepare();
        const GifImageDesc& desc = gif->Image;
        const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
        if (!map || !map->Colors || desc.Width < 1 || desc.Height < 1) failCannotPrepare();
        // A frame may claim more than the screen; it must still fit the pixel budget.
        if (!acceptableSize({desc.Width, desc.Height})) failCannotPrepare();

        // Indices of the whole frame when interlaced (its rows come in four passes),
        // otherwise one row at a time.
        const int fw = desc.Width;
        const int fh = desc.Height;
        std::vector<GifPixelType> indices(static_cast<std::size_t>(fw) * (desc.Interlace ? fh : 1));
        if (desc.Interlace) {
            constexpr int kStart[] = {0, 4, 2, 1};
            constexpr int kStep[] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int y = kStart[pass]; y < fh; y += kStep[pass])
                    if (DGifGetLine(gif.get(), &indices[static_cast<std::size_t>(y) * fw], fw) ==
                        GIF_ERROR)
                        failCannotPrepare();
        }

        const bool covers =
            desc.Left == 0 && desc.Top == 0 && fw >= screen_.width && fh >= screen_.height;
        RowFormat format;
        format.full = format.size = screen_;
        format.layout = covers && first.transparentIndex == NO_TRANSPARENT_COLOR
                            ? PixelLayout::Rgbx
                            : PixelLayout::Rgba;
        sink.start(format);
        std::vector<unsigned char> row(static_cast<std::size_t>(screen_.width) * 4);
        for (int y = 0; y < screen_.height; ++y) {
            std::fill(row.begin(), row.end(), 0);
            const int fy = y - desc.Top;
            if (fy >= 0 && fy < fh) {
                const GifPixelType* line = indices.data();
                if (desc.Interlace) {
                    line += static_cast<std::size_t>(fy) * fw;
                } else if (DGifGetLine(gif.get(), indices.data(), fw) == GIF_ERROR) {
                    failCannotPrepare();
                }
                const int from = std::max(0, desc.Left);
                const int to = std::min(screen_.width, desc.Left + fw);
                for (int x = from; x < to; ++x) {
                    const int index = line[x - desc.Left];
                    if (index == first.transparentIndex) continue;
                    unsigned char* p = &row[static_cast<std::size_t>(x) * 4];
                    if (index < map->ColorCount) {
                        p[0] = map->Colors[index].Red;
                        p[1] = map->Colors[index].Green;
                        p[2] = map->Colors[index].Blue;
                    }
                    p[3] = 255;
                }
            }
            sink.row(row.data());
        }
    }

private:
    InputFile file_;
    Size screen_;
};

} // namespace

std::unique_ptr<ImageDecoder> openGif(InputFile file) {
    InputCursor cursor(file);
    UniqueGif gif = openGifFile(cursor);
    FirstFrame first;
    if (!gif || !seekFirstFrame(gif.get(), first) || hasSecondFrame(gif.get())) failUnsupported();
    const Size screen{gif->SWidth, gif->SHeight};
    gif.reset(); // before the file it reads moves into the decoder
    return std::make_unique<GifDecoder>(std::move(file), screen);
}

} // namespace attachments
