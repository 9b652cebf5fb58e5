// GLib owners; see eds_glib.h.
#include "sources/eds/eds_glib.h"

#include <gio/gio.h>

bool GErrorOwner::isAccessDenied() const {
  return error_ && (g_error_matches(error_, G_DBUS_ERROR, G_DBUS_ERROR_ACCESS_DENIED) ||
                    g_error_matches(error_, G_IO_ERROR, G_IO_ERROR_PERMISSION_DENIED));
}
