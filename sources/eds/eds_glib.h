// Owners for the GLib values the desktop store handles: GObject references,
// errors and lists of object references, each freed once by its owner; and
// a bounded wait on a main context. Owners belong to one thread at a time.
#pragma once

#include <glib-object.h>

#include <functional>
#include <memory>
#include <string>

/// Drops one GObject reference.
struct GObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};

/// One owned GObject reference.
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

/// One error reported by a GLib call, freed on destruction. Pass out() where
/// a call wants a GError**.
class GErrorOwner {
 public:
  GErrorOwner() = default;
  ~GErrorOwner() { g_clear_error(&error_); }
  GErrorOwner(const GErrorOwner&) = delete;
  GErrorOwner& operator=(const GErrorOwner&) = delete;

  GError** out() {
    g_clear_error(&error_);
    return &error_;
  }
  const GError* get() const { return error_; }
  /// Whether the call was refused by the bus's or the service's policy.
  bool isAccessDenied() const;

 private:
  GError* error_ = nullptr;
};

/// A GSList of owned GObject references, each dropped on destruction.
class GObjectList {
 public:
  GObjectList() = default;
  ~GObjectList() { g_slist_free_full(list_, g_object_unref); }
  GObjectList(const GObjectList&) = delete;
  GObjectList& operator=(const GObjectList&) = delete;

  GSList** out() { return &list_; }
  GSList* get() const { return list_; }

 private:
  GSList* list_ = nullptr;
};

/// Runs `context` on the calling thread, which must be free to own it,
/// until `done` answers true or `deadline` (g_get_monotonic_time) passes;
/// whether `done` answered true.
bool iterateUntil(GMainContext* context, gint64 deadline, const std::function<bool()>& done);
