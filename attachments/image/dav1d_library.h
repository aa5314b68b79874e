#pragma once
// dav1d, the AV1 decoder that libheif itself uses, loaded on first use beside libheif
// (heif_library.h says why it is not linked).

#include <dav1d/dav1d.h>

namespace attachments {

struct Dav1dLibrary {
    decltype(&::dav1d_default_settings) default_settings;
    decltype(&::dav1d_open) open;
    decltype(&::dav1d_close) close;
    decltype(&::dav1d_data_create) data_create;
    decltype(&::dav1d_data_unref) data_unref;
    decltype(&::dav1d_send_data) send_data;
    decltype(&::dav1d_get_picture) get_picture;
    decltype(&::dav1d_picture_unref) picture_unref;
};

// The loaded library, or nullptr when it is not installed or lacks a function.
const Dav1dLibrary* dav1dLibrary();

} // namespace attachments
