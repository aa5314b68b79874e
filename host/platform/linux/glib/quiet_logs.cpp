#include "host/platform/linux/glib/quiet_logs.h"

#include <glib.h>

namespace host::platform::glib {
namespace {

void discardLog(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

GLogWriterOutput discardStructuredLog(GLogLevelFlags, const GLogField*, gsize, gpointer) {
    return G_LOG_WRITER_HANDLED;
}

void discardPrint(const gchar*) {}

} // namespace

void dropLibraryMessages() {
    g_log_set_default_handler(&discardLog, nullptr);
    g_log_set_writer_func(&discardStructuredLog, nullptr, nullptr);
    g_set_printerr_handler(&discardPrint);
    g_set_print_handler(&discardPrint);
}

} // namespace host::platform::glib
