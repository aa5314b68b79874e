#include "attachments/image/heif_library.h"

#include "attachments/image/shared_library.h"

namespace attachments {

const HeifLibrary* heifLibrary() {
    static const LoadedLibrary<HeifLibrary> loaded("libheif.so.1", [](const SharedLibrary& h,
                                                                      HeifLibrary& f) {
        return resolve(h, "heif_context_alloc", f.context_alloc) &&
               resolve(h, "heif_context_free", f.context_free) &&
               resolve(h, "heif_context_read_from_reader", f.context_read_from_reader) &&
               resolve(h, "heif_context_set_maximum_image_size_limit",
                       f.context_set_maximum_image_size_limit) &&
               resolve(h, "heif_context_get_number_of_top_level_images",
                       f.context_get_number_of_top_level_images) &&
               resolve(h, "heif_context_get_primary_image_handle",
                       f.context_get_primary_image_handle) &&
               resolve(h, "heif_image_handle_release", f.image_handle_release) &&
               resolve(h, "heif_image_handle_get_width", f.image_handle_get_width) &&
               resolve(h, "heif_image_handle_get_height", f.image_handle_get_height) &&
               resolve(h, "heif_image_handle_get_ispe_width", f.image_handle_get_ispe_width) &&
               resolve(h, "heif_image_handle_get_ispe_height", f.image_handle_get_ispe_height) &&
               resolve(h, "heif_image_handle_has_alpha_channel",
                       f.image_handle_has_alpha_channel) &&
               resolve(h, "heif_image_handle_get_luma_bits_per_pixel",
                       f.image_handle_get_luma_bits_per_pixel) &&
               resolve(h, "heif_image_handle_get_chroma_bits_per_pixel",
                       f.image_handle_get_chroma_bits_per_pixel) &&
               resolve(h, "heif_image_handle_is_premultiplied_alpha",
                       f.image_handle_is_premultiplied_alpha) &&
               resolve(h, "heif_image_handle_get_color_profile_type",
                       f.image_handle_get_color_profile_type) &&
               resolve(h, "heif_image_handle_get_raw_color_profile_size",
                       f.image_handle_get_raw_color_profile_size) &&
               resolve(h, "heif_image_handle_get_raw_color_profile",
                       f.image_handle_get_raw_color_profile) &&
               resolve(h, "heif_decoding_options_alloc", f.decoding_options_alloc) &&
               resolve(h, "heif_decoding_options_free", f.decoding_options_free) &&
               resolve(h, "heif_decode_image", f.decode_image) &&
               resolve(h, "heif_image_get_width", f.image_get_width) &&
               resolve(h, "heif_image_get_height", f.image_get_height) &&
               resolve(h, "heif_image_get_plane_readonly", f.image_get_plane_readonly) &&
               resolve(h, "heif_image_get_bits_per_pixel_range",
                       f.image_get_bits_per_pixel_range) &&
               resolve(h, "heif_image_release", f.image_release) &&
               resolve(h, "heif_register_decoder_plugin", f.register_decoder_plugin) &&
               resolve(h, "heif_image_create", f.image_create) &&
               resolve(h, "heif_image_add_plane", f.image_add_plane) &&
               resolve(h, "heif_image_get_plane", f.image_get_plane) &&
               resolve(h, "heif_nclx_color_profile_alloc", f.nclx_color_profile_alloc) &&
               resolve(h, "heif_nclx_color_profile_free", f.nclx_color_profile_free) &&
               resolve(h, "heif_nclx_color_profile_set_color_primaries",
                       f.nclx_color_profile_set_color_primaries) &&
               resolve(h, "heif_nclx_color_profile_set_transfer_characteristics",
                       f.nclx_color_profile_set_transfer_characteristics) &&
               resolve(h, "heif_nclx_color_profile_set_matrix_coefficients",
                       f.nclx_color_profile_set_matrix_coefficients) &&
               resolve(h, "heif_image_set_nclx_color_profile", f.image_set_nclx_color_profile);
    });
    return loaded.functions();
}

} // namespace attachments
