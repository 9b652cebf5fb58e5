// Notices when the display server destroys a window behind the toolkit's
// back: another program's XDestroyWindow (as `xdotool windowclose` does)
// sends no close request, only DestroyNotify, and the toolkit would go on
// without a window. Wayland lets no other client do this, so only X11 events
// are looked at.
//
// UI thread only: the toolkit runs native event filters there.
#pragma once

#include <QAbstractNativeEventFilter>

#include <functional>

class QWidget;

class DestroyedWindowWatch final : public QAbstractNativeEventFilter {
 public:
  /// Calls `onDestroyed` when `window`'s native window is destroyed by
  /// someone else; `window` must outlive the watch.
  DestroyedWindowWatch(const QWidget& window, std::function<void()> onDestroyed);
  ~DestroyedWindowWatch() override;
  DestroyedWindowWatch(const DestroyedWindowWatch&) = delete;
  DestroyedWindowWatch& operator=(const DestroyedWindowWatch&) = delete;

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

 private:
  const QWidget& window_;
  std::function<void()> onDestroyed_;
};
