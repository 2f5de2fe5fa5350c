#include "watch/DesktopNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace tarnvik::watch {

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
constexpr qsizetype kMaxText = 250;
} // namespace

DesktopNotifier::DesktopNotifier(const QString &appIcon, QDBusConnection bus, QObject *parent)
    : QObject(parent), m_appIcon(appIcon), m_bus(std::move(bus))
{
    if (!m_bus.isConnected())
        return;
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                  SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                  SLOT(onClosed(uint, uint)));
    // Whether the service reads the body as markup, in which case the
    // page's texts in it are escaped.
    auto *watcher = new QDBusPendingCallWatcher(
        m_bus.asyncCall(QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("GetCapabilities"))),
        this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *call) {
        const QDBusPendingReply<QStringList> reply = *call;
        m_bodyMarkup = !reply.isError() && reply.value().contains(QStringLiteral("body-markup"));
        call->deleteLater();
    });
}

void DesktopNotifier::show(qint32 key, const QString &summary, const QString &body)
{
    if (!m_bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    QVariantMap hints;
    if (!m_appIcon.isEmpty())
        hints.insert(QStringLiteral("desktop-entry"), m_appIcon);
    const QString text = body.left(kMaxText);
    call << QStringLiteral("Tarnvik") << m_ids.value(key, 0u) << m_appIcon << summary.left(kMaxText)
         << (m_bodyMarkup ? text.toHtmlEscaped() : text)
         << QStringList{QStringLiteral("default"), QStringLiteral("Öffnen")} << hints << qint32(-1);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, key](QDBusPendingCallWatcher *pending) {
        const QDBusPendingReply<uint> reply = *pending;
        if (!reply.isError())
            m_ids.insert(key, reply.value());
        pending->deleteLater();
    });
}

void DesktopNotifier::withdraw(qint32 key)
{
    const uint id = m_ids.take(key);
    if (id == 0 || !m_bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                       QStringLiteral("CloseNotification"));
    call << id;
    m_bus.send(call);
}

void DesktopNotifier::onActionInvoked(uint id, const QString &action)
{
    if (action != QLatin1String("default"))
        return;
    for (auto it = m_ids.cbegin(); it != m_ids.cend(); ++it) {
        if (it.value() == id) {
            Q_EMIT activated(it.key());
            return;
        }
    }
}

void DesktopNotifier::onClosed(uint id, uint)
{
    for (auto it = m_ids.begin(); it != m_ids.end(); ++it) {
        if (it.value() == id) {
            m_ids.erase(it);
            return;
        }
    }
}

} // namespace tarnvik::watch
