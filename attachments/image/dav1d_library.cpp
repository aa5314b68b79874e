#include "attachments/image/dav1d_library.h"

#include "attachments/image/shared_library.h"

namespace attachments {
namespace {

struct Loaded {
    SharedLibrary handle;
    Dav1dLibrary functions{};
    bool complete = false;
};

Loaded load() {
    Loaded loaded;
    loaded.handle = openSharedLibrary("libdav1d.so.6");
    const SharedLibrary& h = loaded.handle;
    if (!h) return loaded;
    Dav1dLibrary& f = loaded.functions;
    loaded.complete = resolve(h, "dav1d_default_settings", f.default_settings) &&
                      resolve(h, "dav1d_open", f.open) && resolve(h, "dav1d_close", f.close) &&
                      resolve(h, "dav1d_data_create", f.data_create) &&
                      resolve(h, "dav1d_data_unref", f.data_unref) &&
                      resolve(h, "dav1d_send_data", f.send_data) &&
                      resolve(h, "dav1d_get_picture", f.get_picture) &&
                      resolve(h, "dav1d_picture_unref", f.picture_unref);
    return loaded;
}

} // namespace

const Dav1dLibrary* dav1dLibrary() {
    static const Loaded loaded = load();
    return loaded.complete ? &loaded.functions : nullptr;
}

} // namespace attachments
