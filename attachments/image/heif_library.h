#pragma once
// libheif, loaded on first use. Linking it would load its whole codec stack (x265, aom,
// dav1d, libde265) into every run, which costs a one-shot tool several milliseconds at
// start-up; most jobs never see a HEIF file.

#include <libheif/heif.h>

namespace attachments {

struct HeifLibrary {
    decltype(&::heif_context_alloc) context_alloc;
    decltype(&::heif_context_free) context_free;
    decltype(&::heif_context_read_from_reader) context_read_from_reader;
    decltype(&::heif_context_set_maximum_image_size_limit) context_set_maximum_image_size_limit;
    decltype(&::heif_context_get_number_of_top_level_images) context_get_number_of_top_level_images;
    decltype(&::heif_context_get_primary_image_handle) context_get_primary_image_handle;
    decltype(&::heif_image_handle_release) image_handle_release;
    decltype(&::heif_image_handle_get_width) image_handle_get_width;
    decltype(&::heif_image_handle_get_height) image_handle_get_height;
    decltype(&::heif_image_handle_get_ispe_width) image_handle_get_ispe_width;
    decltype(&::heif_image_handle_get_ispe_height) image_handle_get_ispe_height;
    decltype(&::heif_image_handle_has_alpha_channel) image_handle_has_alpha_channel;
    decltype(&::heif_image_handle_get_luma_bits_per_pixel) image_handle_get_luma_bits_per_pixel;
    decltype(&::heif_image_handle_get_chroma_bits_per_pixel) image_handle_get_chroma_bits_per_pixel;
    decltype(&::heif_image_handle_is_premultiplied_alpha) image_handle_is_premultiplied_alpha;
    decltype(&::heif_image_handle_get_color_profile_type) image_handle_get_color_profile_type;
    decltype(&::heif_image_handle_get_raw_color_profile_size)
        image_handle_get_raw_color_profile_size;
    decltype(&::heif_image_handle_get_raw_color_profile) image_handle_get_raw_color_profile;
    decltype(&::heif_decoding_options_alloc) decoding_options_alloc;
    decltype(&::heif_decoding_options_free) decoding_options_free;
    decltype(&::heif_decode_image) decode_image;
    decltype(&::heif_image_get_width) image_get_width;
    decltype(&::heif_image_get_height) image_get_height;
    decltype(&::heif_image_get_plane_readonly) image_get_plane_readonly;
    decltype(&::heif_image_get_bits_per_pixel_range) image_get_bits_per_pixel_range;
    decltype(&::heif_image_release) image_release;
    // For the AV1 decoder that the tool gives libheif (still_av1_decoder.h).
    decltype(&::heif_register_decoder_plugin) register_decoder_plugin;
    decltype(&::heif_image_create) image_create;
    decltype(&::heif_image_add_plane) image_add_plane;
    decltype(&::heif_image_get_plane) image_get_plane;
    decltype(&::heif_nclx_color_profile_alloc) nclx_color_profile_alloc;
    decltype(&::heif_nclx_color_profile_free) nclx_color_profile_free;
    decltype(&::heif_nclx_color_profile_set_color_primaries) nclx_color_profile_set_color_primaries;
    decltype(&::heif_nclx_color_profile_set_transfer_characteristics)
        nclx_color_profile_set_transfer_characteristics;
    decltype(&::heif_nclx_color_profile_set_matrix_coefficients)
        nclx_color_profile_set_matrix_coefficients;
    decltype(&::heif_image_set_nclx_color_profile) image_set_nclx_color_profile;
};

// The loaded library, or nullptr when it is not installed or lacks a function.
const HeifLibrary* heifLibrary();

} // namespace attachments
