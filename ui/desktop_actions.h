// The real SystemActions of this desktop: links through QDesktopServices,
// the file's reveal through the freedesktop file-manager interface on the
// session bus, the prompts through PromptableSources, the end through the
// application's event loop.
//
// UI thread only.
#pragma once

#include "ui/system_actions.h"

class DesktopActions final : public SystemActions {
 public:
  DesktopActions() = default;
  DesktopActions(const DesktopActions&) = delete;
  DesktopActions& operator=(const DesktopActions&) = delete;

  /// Opening failures are ignored.
  void openUrl(const QUrl& url) override;

  /// Asks org.freedesktop.FileManager1 ShowItems for the program's file;
  /// when there is no such service (or no session bus), opens the folder that
  /// holds the file instead.
  void revealProgramFile() override;

  /// PromptableSources::request().
  void requestSourceAccess() override;

  /// QCoreApplication::quit().
  void endProgram() override;
};
