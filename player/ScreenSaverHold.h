#pragma once

// Holds off the desktop's screen saver while a movie plays with sound, through
// the session bus's org.freedesktop.ScreenSaver service (Inhibit gives a
// cookie, UnInhibit with that cookie lets the saver run again). Without a
// session bus, or without the service, it does nothing and says nothing: a
// player that cannot hold the saver still plays.

#include <QDBusConnection>
#include <QObject>

#include <optional>

class QDBusPendingCallWatcher;

namespace player {

class ScreenSaverHold : public QObject {
    Q_OBJECT

public:
    // Talks to the service on `bus`; by default on the session bus, which it
    // only connects to when the hold is first taken.
    explicit ScreenSaverHold(QObject* parent = nullptr);
    ScreenSaverHold(const QDBusConnection& bus, QObject* parent = nullptr);
    // Releases a hold still taken.
    ~ScreenSaverHold() override;

    // Takes the hold (true) or releases it (false); repeating the state the
    // hold already has sends nothing.
    void setHeld(bool held);
    bool isHeld() const { return m_wanted; }
    // The service's cookie while it grants the hold, for tests.
    std::optional<quint32> cookie() const { return m_cookie; }

private:
    void inhibit();
    void uninhibit();
    void inhibitAnswered(QDBusPendingCallWatcher* watcher);

    QDBusConnection& bus();

    std::optional<QDBusConnection> m_bus;
    bool m_wanted = false;          // what the player asked for last
    bool m_pending = false;         // an Inhibit call awaits its answer
    std::optional<quint32> m_cookie; // the service holds the saver off for this cookie
};

} // namespace player
