#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>

namespace tarnvik::watch {

// Desktop notifications through the freedesktop notification service on the
// session bus: one per key, replaced when shown again, with the action
// "Öffnen" that a click on the notification itself also invokes. Where no
// service answers (or there is no bus) nothing is shown and nothing fails.
class DesktopNotifier : public QObject
{
    Q_OBJECT
public:
    explicit DesktopNotifier(const QString &appIcon, QDBusConnection bus = QDBusConnection::sessionBus(),
                             QObject *parent = nullptr);

    void show(qint32 key, const QString &summary, const QString &body);
    void withdraw(qint32 key);

Q_SIGNALS:
    void activated(qint32 key);

private Q_SLOTS:
    void onActionInvoked(uint id, const QString &action);
    void onClosed(uint id, uint reason);

private:
    QString m_appIcon;
    QDBusConnection m_bus;
    QHash<qint32, uint> m_ids;
    bool m_bodyMarkup = false;
};

} // namespace tarnvik::watch
