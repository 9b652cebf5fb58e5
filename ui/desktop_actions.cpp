#include "ui/desktop_actions.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

#include "base/program_modules.h"
#include "sources/access_requests.h"

namespace {

void openContainingFolder(const QString& file) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(file).absolutePath()));
}

}  // namespace

void DesktopActions::openUrl(const QUrl& url) { QDesktopServices::openUrl(url); }

void DesktopActions::revealProgramFile() {
  const QString file = QString::fromStdString(programPath());
  if (file.isEmpty()) return;
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    openContainingFolder(file);
    return;
  }
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
      QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
  call << QStringList{QUrl::fromLocalFile(file).toString()} << QString();
  // Asked without waiting: starting a file manager may take a while, and the
  // window must stay responsive meanwhile.
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), QCoreApplication::instance());
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                   [file](QDBusPendingCallWatcher* finished) {
                     if (finished->isError()) openContainingFolder(file);
                     finished->deleteLater();
                   });
}

void DesktopActions::requestSourceAccess() { PromptableSources::request(); }

void DesktopActions::endProgram() { QCoreApplication::quit(); }
