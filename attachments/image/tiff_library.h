#pragma once
// libtiff, loaded on first use: with its compression libraries (zstd, lzma, LERC, JBIG,
// deflate) it would be the costliest load of every run's start-up, for a rare format.

#include <tiffio.h>

namespace attachments {

struct TiffLibrary {
    decltype(&::TIFFSetErrorHandler) SetErrorHandler;
    decltype(&::TIFFSetWarningHandler) SetWarningHandler;
    decltype(&::TIFFOpenOptionsAlloc) OpenOptionsAlloc;
    decltype(&::TIFFOpenOptionsFree) OpenOptionsFree;
    decltype(&::TIFFOpenOptionsSetMaxSingleMemAlloc) OpenOptionsSetMaxSingleMemAlloc;
    decltype(&::TIFFOpenOptionsSetErrorHandlerExtR) OpenOptionsSetErrorHandlerExtR;
    decltype(&::TIFFOpenOptionsSetWarningHandlerExtR) OpenOptionsSetWarningHandlerExtR;
    decltype(&::TIFFClientOpenExt) ClientOpenExt;
    decltype(&::TIFFClose) Close;
    decltype(&::TIFFNumberOfDirectories) NumberOfDirectories;
    decltype(&::TIFFGetField) GetField;
    decltype(&::TIFFGetFieldDefaulted) GetFieldDefaulted;
    decltype(&::TIFFIsTiled) IsTiled;
    decltype(&::TIFFIsByteSwapped) IsByteSwapped;
    decltype(&::TIFFIsBigEndian) IsBigEndian;
    decltype(&::TIFFIsBigTIFF) IsBigTIFF;
    decltype(&::TIFFCurrentDirOffset) CurrentDirOffset;
    decltype(&::TIFFNumberOfStrips) NumberOfStrips;
    decltype(&::TIFFGetStrileOffsetWithErr) GetStrileOffsetWithErr;
    decltype(&::TIFFGetStrileByteCountWithErr) GetStrileByteCountWithErr;
    decltype(&::TIFFScanlineSize) ScanlineSize;
    decltype(&::TIFFReadScanline) ReadScanline;
    decltype(&::TIFFTileSize) TileSize;
    decltype(&::TIFFReadTile) ReadTile;
    decltype(&::TIFFRGBAImageOK) RGBAImageOK;
    decltype(&::TIFFRGBAImageBegin) RGBAImageBegin;
    decltype(&::TIFFRGBAImageGet) RGBAImageGet;
    decltype(&::TIFFRGBAImageEnd) RGBAImageEnd;
};

// The loaded library, or nullptr when it is not installed or lacks a function.
const TiffLibrary* tiffLibrary();

} // namespace attachments
