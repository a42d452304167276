#include "player/ScreenSaverHold.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace player {

namespace {

const QString kService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kPath = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString kInterface = QStringLiteral("org.freedesktop.ScreenSaver");

// A hung service must not hold the player's window up.
constexpr int kCallTimeoutMs = 2000;

} // namespace

ScreenSaverHold::ScreenSaverHold(QObject* parent)
    : QObject(parent)
{
}

ScreenSaverHold::ScreenSaverHold(const QDBusConnection& bus, QObject* parent)
    : QObject(parent)
    , m_bus(bus)
{
}

QDBusConnection& ScreenSaverHold::bus()
{
    if (!m_bus)
        m_bus = QDBusConnection::sessionBus();
    return *m_bus;
}

ScreenSaverHold::~ScreenSaverHold()
{
    // The service also drops a hold when its owner leaves the bus, but a
    // player window can close long before the program does.
    m_wanted = false;
    uninhibit();
}

void ScreenSaverHold::setHeld(bool held)
{
    if (held == m_wanted)
        return;
    m_wanted = held;
    if (held)
        inhibit();
    else
        uninhibit();
}

void ScreenSaverHold::inhibit()
{
    if (m_cookie || m_pending || !bus().isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Inhibit"));
    call << QStringLiteral("Vantrel") << QStringLiteral("播放影片");
    m_pending = true;
    auto* watcher = new QDBusPendingCallWatcher(bus().asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &ScreenSaverHold::inhibitAnswered);
}

void ScreenSaverHold::inhibitAnswered(QDBusPendingCallWatcher* watcher)
{
    watcher->deleteLater();
    m_pending = false;
    QDBusPendingReply<quint32> reply = *watcher;
    if (reply.isError())
        return; // no service: the saver runs as it would anyway
    m_cookie = reply.value();
    // Released (or released and taken again) while the answer was on its way.
    if (!m_wanted)
        uninhibit();
}

void ScreenSaverHold::uninhibit()
{
    if (!m_cookie || !bus().isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("UnInhibit"));
    call << *m_cookie;
    m_cookie.reset();
    // Nothing to do with the answer; a lost release ends with our connection.
    bus().send(call);
}

} // namespace player
