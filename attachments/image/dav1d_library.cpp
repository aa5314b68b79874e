#include "attachments/image/dav1d_library.h"

#include "attachments/image/shared_library.h"

namespace attachments {

const Dav1dLibrary* dav1dLibrary() {
    static const LoadedLibrary<Dav1dLibrary> loaded(
        "libdav1d.so.6", [](const SharedLibrary& h, Dav1dLibrary& f) {
            return resolve(h, "dav1d_default_settings", f.default_settings) &&
                   resolve(h, "dav1d_open", f.open) && resolve(h, "dav1d_close", f.close) &&
                   resolve(h, "dav1d_data_create", f.data_create) &&
                   resolve(h, "dav1d_data_unref", f.data_unref) &&
                   resolve(h, "dav1d_send_data", f.send_data) &&
                   resolve(h, "dav1d_get_picture", f.get_picture) &&
                   resolve(h, "dav1d_picture_unref", f.picture_unref);
        });
    return loaded.functions();
}

} // namespace attachments
