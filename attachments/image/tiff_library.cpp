#include "attachments/image/tiff_library.h"

#include "attachments/image/shared_library.h"

namespace attachments {

const TiffLibrary* tiffLibrary() {
    static const LoadedLibrary<TiffLibrary> loaded("libtiff.so.6", [](const SharedLibrary& h,
                                                                      TiffLibrary& f) {
        return resolve(h, "TIFFSetErrorHandler", f.SetErrorHandler) &&
               resolve(h, "TIFFSetWarningHandler", f.SetWarningHandler) &&
               resolve(h, "TIFFOpenOptionsAlloc", f.OpenOptionsAlloc) &&
               resolve(h, "TIFFOpenOptionsFree", f.OpenOptionsFree) &&
               resolve(h, "TIFFOpenOptionsSetMaxSingleMemAlloc",
                       f.OpenOptionsSetMaxSingleMemAlloc) &&
               resolve(h, "TIFFOpenOptionsSetErrorHandlerExtR", f.OpenOptionsSetErrorHandlerExtR) &&
               resolve(h, "TIFFOpenOptionsSetWarningHandlerExtR",
                       f.OpenOptionsSetWarningHandlerExtR) &&
               resolve(h, "TIFFClientOpenExt", f.ClientOpenExt) &&
               resolve(h, "TIFFClose", f.Close) &&
               resolve(h, "TIFFNumberOfDirectories", f.NumberOfDirectories) &&
               resolve(h, "TIFFGetField", f.GetField) &&
               resolve(h, "TIFFGetFieldDefaulted", f.GetFieldDefaulted) &&
               resolve(h, "TIFFIsTiled", f.IsTiled) &&
               resolve(h, "TIFFIsByteSwapped", f.IsByteSwapped) &&
               resolve(h, "TIFFIsBigEndian", f.IsBigEndian) &&
               resolve(h, "TIFFIsBigTIFF", f.IsBigTIFF) &&
               resolve(h, "TIFFCurrentDirOffset", f.CurrentDirOffset) &&
               resolve(h, "TIFFNumberOfStrips", f.NumberOfStrips) &&
               resolve(h, "TIFFGetStrileOffsetWithErr", f.GetStrileOffsetWithErr) &&
               resolve(h, "TIFFGetStrileByteCountWithErr", f.GetStrileByteCountWithErr) &&
               resolve(h, "TIFFScanlineSize", f.ScanlineSize) &&
               resolve(h, "TIFFReadScanline", f.ReadScanline) &&
               resolve(h, "TIFFTileSize", f.TileSize) && resolve(h, "TIFFReadTile", f.ReadTile) &&
               resolve(h, "TIFFRGBAImageOK", f.RGBAImageOK) &&
               resolve(h, "TIFFRGBAImageBegin", f.RGBAImageBegin) &&
               resolve(h, "TIFFRGBAImageGet", f.RGBAImageGet) &&
               resolve(h, "TIFFRGBAImageEnd", f.RGBAImageEnd);
    });
    return loaded.functions();
}

} // namespace attachments
