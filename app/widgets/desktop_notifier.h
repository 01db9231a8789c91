// Desktop notifications through the freedesktop.org notification service on
// the session bus, which every Linux desktop runs. A click on the
// notification (its default action) calls back, so the window can come back.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

class DesktopNotifier : public QObject {
    Q_OBJECT

public:
    explicit DesktopNotifier(std::function<void()> clicked, QObject* parent = nullptr);

    // False when no notification service answered.
    bool Show(const QString& summary, const QString& body);

private slots:
    void OnActionInvoked(uint id, const QString& action);

private:
    std::function<void()> clicked_;
    uint shownId_ = 0;
};
