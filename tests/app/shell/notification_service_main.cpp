// A desktop's notification service for tests, on the session bus named by
// DBUS_SESSION_BUS_ADDRESS: it appends every notification it is asked to show
// to a file (summary and body, one line each), and a moment later clicks it
// (the "default" action), as a user would.
//
//   notification-service RECORD_FILE
//
// It writes "ready" to RECORD_FILE.ready once it owns the service's name.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QFile>
#include <QTimer>
#include <cstdio>

namespace {

const char* const kService = "org.freedesktop.Notifications";
const char* const kPath = "/org/freedesktop/Notifications";
const char* const kInterface = "org.freedesktop.Notifications";
constexpr int kClickDelayMs = 500;

class NotificationService : public QDBusVirtualObject {
public:
    explicit NotificationService(QString recordPath) : recordPath_(std::move(recordPath)) {}

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.interface() != kInterface) return false;
        if (message.member() == "GetCapabilities") {
            connection.send(message.createReply(QStringList{"actions", "body"}));
            return true;
        }
        if (message.member() == "GetServerInformation") {
            connection.send(
                message.createReply(QVariantList{"test service", "zarvo tests", "1", "1.2"}));
            return true;
        }
        if (message.member() != "Notify" || message.arguments().size() != 8) return false;
        const QVariantList args = message.arguments();
        const uint id = ++lastId_;
        QFile record(recordPath_);
        if (record.open(QIODevice::Append)) {
            record.write(args[3].toString().toUtf8() + "\n" + args[4].toString().toUtf8() + "\n");
        }
        connection.send(message.createReply(QVariant::fromValue(id)));
        if (args[5].toStringList().contains("default")) {
            QTimer::singleShot(kClickDelayMs, [id] {
                QDBusMessage click = QDBusMessage::createSignal(kPath, kInterface, "ActionInvoked");
                click << QVariant::fromValue(id) << QString("default");
                QDBusConnection::sessionBus().send(click);
            });
        }
        return true;
    }

private:
    QString recordPath_;
    uint lastId_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: notification-service RECORD_FILE\n");
        return 2;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    NotificationService service(QString::fromLocal8Bit(argv[1]));
    if (!bus.isConnected() || !bus.registerVirtualObject(kPath, &service) ||
        !bus.registerService(kService)) {
        std::fprintf(stderr, "notification-service: cannot serve on the session bus\n");
        return 1;
    }
    QFile ready(QString::fromLocal8Bit(argv[1]) + ".ready");
    if (ready.open(QIODevice::WriteOnly)) ready.write("ready\n");
    ready.close();
    return application.exec();
}
