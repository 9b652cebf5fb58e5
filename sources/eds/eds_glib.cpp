// GLib owners and the bounded wait; see eds_glib.h.
#include "sources/eds/eds_glib.h"

#include <gio/gio.h>

#include <algorithm>

bool GErrorOwner::isAccessDenied() const {
  return error_ && (g_error_matches(error_, G_DBUS_ERROR, G_DBUS_ERROR_ACCESS_DENIED) ||
                    g_error_matches(error_, G_IO_ERROR, G_IO_ERROR_PERMISSION_DENIED));
}

bool iterateUntil(GMainContext* context, gint64 deadline, const std::function<bool()>& done) {
  bool expired = false;
  const gint64 left = std::max<gint64>(0, deadline - g_get_monotonic_time());
  GSource* timer = g_timeout_source_new(static_cast<guint>(std::min<gint64>(left / 1000, G_MAXUINT)));
  g_source_set_callback(timer, [](gpointer flag) {
    *static_cast<bool*>(flag) = true;
    return G_SOURCE_REMOVE;
  }, &expired, nullptr);
  g_source_attach(timer, context);
  while (!done() && !expired) g_main_context_iteration(context, TRUE);
  g_source_destroy(timer);
  g_source_unref(timer);
  return done();
}
