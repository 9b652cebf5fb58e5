#include "ui/quiet_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <QString>

#include <atomic>

#include "base/write_all.h"
#include "ui/display_check.h"

namespace {

// Where the handler writes the one line of a fatal failure; -1 when no
// QuietStreams lives.
std::atomic<int> gOwnErrorFd{-1};

/// The display variables that are set, as "NAME=value" joined by spaces.
std::string describeDisplay(const DisplayEnvironment& environment) {
  std::string text;
  auto add = [&text](const char* name, const std::string& value) {
    if (value.empty()) return;
    text += (text.empty() ? "" : " ") + std::string(name) + "=" + value;
  };
  add("DISPLAY", environment.display);
  add("WAYLAND_DISPLAY", environment.waylandDisplay);
  add("QT_QPA_PLATFORM", environment.qtPlatform);
  return text;
}

/// Drops every message. A fatal one (a display that is named but cannot be
/// reached) ends the program with one line and status 1 instead of an abort
/// and a core dump.
void quietMessageHandler(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type != QtFatalMsg) return;
  // Qt's text runs to several sentences and lines; the first says what failed.
  const QString what =
      message.section(QLatin1Char('\n'), 0, 0).section(QLatin1String(". "), 0, 0);
  const int fd = gOwnErrorFd.load();
  writeAll(fd >= 0 ? fd : STDERR_FILENO,
               "tovana-mervo: the setup window cannot be shown (" +
                   describeDisplay(currentDisplayEnvironment()) + "): " + what.toStdString() +
                   "\n");
  _exit(1);
}

UniqueFd duplicate(int fd) { return UniqueFd(fcntl(fd, F_DUPFD_CLOEXEC, 3)); }

}  // namespace

QuietStreams::QuietStreams()
    : ownOutput_(duplicate(STDOUT_FILENO)), ownError_(duplicate(STDERR_FILENO)) {
  gOwnErrorFd = ownError_.get();
  previousHandler_ = qInstallMessageHandler(quietMessageHandler);
  // With a standard stream closed at start, /dev/null may open as that very
  // descriptor: it then stays open, as the stream.
  const int nowhere = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (nowhere < 0) return;
  for (int stream : {STDOUT_FILENO, STDERR_FILENO})
    if (nowhere != stream) dup2(nowhere, stream);
  if (nowhere > STDERR_FILENO)
    close(nowhere);
  else
    fcntl(nowhere, F_SETFD, 0);
}

QuietStreams::~QuietStreams() {
  if (ownOutput_.isOpen()) dup2(ownOutput_.get(), STDOUT_FILENO);
  if (ownError_.isOpen()) dup2(ownError_.get(), STDERR_FILENO);
  qInstallMessageHandler(previousHandler_);
  gOwnErrorFd = -1;
}
