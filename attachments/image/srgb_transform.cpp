#include "attachments/image/srgb_transform.h"

#include "common/unique_handle.h"

#include <lcms2.h>
#include <type_traits>

namespace attachments {
namespace {

using Context = common::Owned<std::remove_pointer_t<cmsContext>, cmsDeleteContext>;
using Profile = common::Owned<void, cmsCloseProfile>;
using Transform = common::Owned<void, cmsDeleteTransform>;

// lcms2 reports problems through a logger; the tool prints nothing of its own.
void quietLogger(cmsContext, cmsUInt32Number, const char*) {}

cmsColorSpaceSignature spaceOf(ColourModel model) {
    switch (model) {
    case ColourModel::Grey:
        return cmsSigGrayData;
    case ColourModel::Cmyk:
        return cmsSigCmykData;
    case ColourModel::Rgb:
        break;
    }
    return cmsSigRgbData;
}

// Every delivered pixel is four bytes; the format tells lcms2 which of them to read.
cmsUInt32Number inputFormat(ColourModel model, PixelLayout layout) {
    switch (model) {
    case ColourModel::Grey:
        return COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | EXTRA_SH(3) | BYTES_SH(1);
    case ColourModel::Cmyk:
        return layout == PixelLayout::CmykInverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8;
    case ColourModel::Rgb:
        break;
    }
    return TYPE_RGBA_8;
}

} // namespace

struct SrgbTransform::Handles {
    Context context;
    Transform transform;
};

std::unique_ptr<SrgbTransform> SrgbTransform::create(std::span<const unsigned char> profile,
                                                     ColourModel model, PixelLayout layout) {
    if (profile.empty()) return nullptr;
    const bool cmykPixels = layout == PixelLayout::Cmyk || layout == PixelLayout::CmykInverted;
    if (cmykPixels != (model == ColourModel::Cmyk)) return nullptr;
    Context context(cmsCreateContext(nullptr, nullptr));
    if (!context) return nullptr;
    cmsSetLogErrorHandlerTHR(context.get(), quietLogger);
    Profile source(cmsOpenProfileFromMemTHR(context.get(), profile.data(),
                                            static_cast<cmsUInt32Number>(profile.size())));
    if (!source || cmsGetColorSpace(source.get()) != spaceOf(model)) return nullptr;
    const auto deviceClass = cmsGetDeviceClass(source.get());
    if (deviceClass != cmsSigInputClass && deviceClass != cmsSigDisplayClass &&
        deviceClass != cmsSigOutputClass && deviceClass != cmsSigColorSpaceClass)
        return nullptr;
    Profile srgb(cmsCreate_sRGBProfileTHR(context.get()));
    if (!srgb) return nullptr;
    Transform transform(cmsCreateTransformTHR(context.get(), source.get(),
                                              inputFormat(model, layout), srgb.get(), TYPE_RGB_8,
                                              INTENT_PERCEPTUAL, 0));
    if (!transform) return nullptr;
    auto handles = std::make_unique<Handles>();
    handles->context = std::move(context);
    handles->transform = std::move(transform);
    return std::unique_ptr<SrgbTransform>(new SrgbTransform(std::move(handles)));
}

SrgbTransform::SrgbTransform(std::unique_ptr<Handles> handles) : handles_(std::move(handles)) {}

SrgbTransform::~SrgbTransform() = default;

void SrgbTransform::convert(const unsigned char* in, unsigned char* out, int count) const {
    cmsDoTransform(handles_->transform.get(), in, out, static_cast<cmsUInt32Number>(count));
}

} // namespace attachments
