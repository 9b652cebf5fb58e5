// The screens' texts. Where they name the platform they speak of this
// computer and its desktop; "Connect my Mac" is the service's own menu label.
#include "ui/setup_screens.h"

namespace SetupScreens {

Screen missingFiles(const QString& bundleRoot) {
  return {QStringLiteral("The Mervo's files are not on this computer"),
          QStringLiteral("Nothing was found at ") + bundleRoot +
              QStringLiteral(". Download the installer again from Tovana, ") +
              QStringLiteral("under Profile, Connect my Mac, and open it."),
          std::nullopt, false, false};
}

Screen access() {
  return {QStringLiteral("One switch, and the Mervo is yours"),
          QStringLiteral("Your desktop keeps your messages, calls and calendar in the private "
                         "folders of your home, and a sandbox can keep Tovana Mervo out of them "
                         "until you say otherwise. Click below and read how to let it in.\n\n"
                         "Leave this window where it is. It is watching, and it will carry "
                         "straight on the moment you flip it."),
          QStringLiteral("Open Full Disk Access"), true, false};
}

Screen working() {
  return {QStringLiteral("Bringing your history in"),
          QStringLiteral("Reading who and when, never what was said. This takes a minute or two "
                         "the first time, and there is nothing to do while it runs."),
          std::nullopt, false, true};
}

Screen success() {
  return {QStringLiteral("You're set"),
          QStringLiteral("Your history is in Tovana, and from here on the Mervo keeps up on its "
                         "own, quietly, every few minutes. You can close this window and forget "
                         "about it."),
          QStringLiteral("Done"), false, false};
}

Screen failure() {
  return {QStringLiteral("Not finished yet"),
          QStringLiteral("The Mervo got part of the way. The lines below say exactly where it "
                         "stopped. Most often it is this computer being offline, or the sign-in tap "
                         "not having happened yet."),
          QStringLiteral("Close"), false, false};
}

Screen forExitStatus(int status) { return status == 0 ? success() : failure(); }

}  // namespace SetupScreens
