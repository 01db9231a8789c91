#include "app/widgets/desktop_notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QStringList>
#include <QVariantMap>

namespace {

const char* const kService = "org.freedesktop.Notifications";
const char* const kPath = "/org/freedesktop/Notifications";
const char* const kInterface = "org.freedesktop.Notifications";
// The action a click on the notification itself invokes.
const char* const kDefaultAction = "default";
// Past this the server's own default would do, but a notification that the
// user missed while away should still be there when they come back.
constexpr int kExpireNever = 0;

}  // namespace

DesktopNotifier::DesktopNotifier(std::function<void()> clicked, QObject* parent)
    : QObject(parent), clicked_(std::move(clicked)) {
    QDBusConnection::sessionBus().connect(kService, kPath, kInterface, "ActionInvoked", this,
                                          SLOT(OnActionInvoked(uint, QString)));
}

bool DesktopNotifier::Show(const QString& summary, const QString& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, "Notify");
    QVariantMap hints;
    hints.insert("desktop-entry", QString("org.zarvo.VideoConverter"));
    call << QString("Zarvo Video Converter") << shownId_ << QString("org.zarvo.VideoConverter")
         << summary << body << QStringList{kDefaultAction, "Show"} << hints << kExpireNever;
    const QDBusReply<uint> reply = bus.call(call, QDBus::Block, 3000);
    if (!reply.isValid()) return false;
    shownId_ = reply.value();
    return true;
}

void DesktopNotifier::OnActionInvoked(uint id, const QString& action) {
    if (id == shownId_ && shownId_ != 0 && action == kDefaultAction) clicked_();
}
