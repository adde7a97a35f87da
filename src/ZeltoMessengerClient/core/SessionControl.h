#ifndef SESSIONCONTROL_H
#define SESSIONCONTROL_H

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class LoginAttempt;
class ZMsgFw111Q;

// What keeps the main window's session going, without widgets: the logins that run on a
// connection of their own, one at a time; the requests after a login and the periodic
// refreshes; the hand-over of buffered objects in slices that leave the event loop its turns.
class SessionControl : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(SessionControl)

public:
    struct Hooks {
        // The session flag: true while the user is meant to be logged in.
        std::function<bool()> active;
        // One incoming object, handled as if the session had just delivered it.
        std::function<void(const QString &object)> read;
        // A hand-over begins, and ends with more still buffered or not.
        std::function<void()> drainBegins;
        std::function<void(bool more)> drainEnds;
    };

    SessionControl() = default;
    // Waits for a login still running; what it brings is dropped.
    ~SessionControl() override;

    // The window's one session object, once it exists.
    void setSession(ZMsgFw111Q *session, Hooks hooks);

    // Logs in on a connection of its own, off this thread; done runs here when the attempt
    // ended, unless the session it was meant for ended first.
    void startAttempt(const QString &name, const QString &password, bool askNick,
                      std::function<void(LoginAttempt &)> done);
    bool isAttemptRunning() const { return !attempt.isNull(); }
    // A logout: an attempt started before it belongs to an ended session.
    void endSession() { ++generation; }
    // Handles what an ended attempt read on the way and, when it logged in, makes its
    // connection the session's; returns its result (500 when the connection could not be taken).
    int takeOver(LoginAttempt &ended);

    void requestAfterLogin();
    // Everyone was shown offline since the loss: the lists come now, not at the next refresh.
    void requestAfterRelogin();
    void refreshContacts();
    void refreshRequests();

    // Hands every complete buffered object to read, in order, until none is left or the
    // slice's time is spent; then the rest follows after a short pause.
    void drain();

private:
    ZMsgFw111Q *session = nullptr;
    Hooks hooks;
    QPointer<LoginAttempt> attempt;
    // Counts logouts.
    quint64 generation = 0;
    bool drainPending = false;
};

#endif
