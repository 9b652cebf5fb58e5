// What the setup window asks of the world outside itself: the desktop (open
// a link, show a file in the file manager), the calendar and contacts
// prompts, and ending the program. Tests put a fake in its place.
//
// Every member is called on the UI thread and returns at once.
#pragma once

class QUrl;

class SystemActions {
 public:
  virtual ~SystemActions() = default;

  /// Asks the desktop to open `url`; whether it could is not reported.
  virtual void openUrl(const QUrl& url) = 0;

  /// Shows the program's own file selected in the file manager.
  virtual void revealProgramFile() = 0;

  /// Starts the calendar and contacts access prompts in the background.
  virtual void requestSourceAccess() = 0;

  /// Ends the program once control returns to the event loop.
  virtual void endProgram() = 0;
};
