#include "ui/destroyed_window_watch.h"

#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QWidget>

#include <utility>

DestroyedWindowWatch::DestroyedWindowWatch(const QWidget& window, std::function<void()> onDestroyed)
    : window_(window), onDestroyed_(std::move(onDestroyed)) {
  QCoreApplication::instance()->installNativeEventFilter(this);
}

DestroyedWindowWatch::~DestroyedWindowWatch() {
  if (QCoreApplication* app = QCoreApplication::instance()) app->removeNativeEventFilter(this);
}

bool DestroyedWindowWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (eventType != "xcb_generic_event_t") return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  // The high bit marks events sent by another client rather than the server.
  if ((event->response_type & 0x7f) != XCB_DESTROY_NOTIFY) return false;
  // A window the toolkit destroys itself is no longer the widget's.
  const WId own = window_.internalWinId();
  if (own != 0 && reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window == own)
    onDestroyed_();
  return false;
}
