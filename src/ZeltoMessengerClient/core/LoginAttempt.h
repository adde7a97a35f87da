#ifndef LOGINATTEMPT_H
#define LOGINATTEMPT_H

#include <QString>
#include <QStringList>
#include <QThread>

#include <memory>

class ZMsgFw111Q;

// One login on a connection of its own, run off the thread that starts it: a server that
// does not answer holds the worker for the login's time limits, never the windows. When the
// login succeeded, the logged-in session object is handed to the starting thread, where the
// window's own session object adopts its connection (ZMsgFw111Q::adoptSession).
// The results are read after finished(), which reaches the starting thread queued.
class LoginAttempt : public QThread
{
    Q_OBJECT
    Q_DISABLE_COPY(LoginAttempt)
public:
    // With askNick the own nick is asked right after a successful login, on the worker too.
    LoginAttempt(const QString &name, const QString &password, bool askNick, QObject *parent = nullptr);
    // Waits for a running attempt to end (bounded by the login's own time limits) and closes
    // a connection that nobody took over.
    ~LoginAttempt() override;

    // The limit of each wait for the server, for the session the attempt logs in with; set
    // before start(). The library's own limit unless set.
    void setReplyTimeout(int milliseconds) { m_replyTimeout = milliseconds; }

    // The login's result: 200 logged in, 404 no such account, 500 no usable answer, or the
    // server's own code.
    int result() const { return m_result; }
    // getUserNick's answer when asked, "///Error ..." included.
    QString nick() const { return m_nick; }
    // Objects the session read while it waited for the login's or the nick's reply, in
    // arrival order.
    QStringList objectsMeanwhile() const { return m_objects; }
    // The logged-in session, living on the starting thread; null unless result() is 200.
    // The attempt keeps owning it.
    ZMsgFw111Q *session() const { return m_session.get(); }

protected:
    void run() override;

private:
    const QString m_name;
    const QString m_password;
    const bool m_askNick;
    QThread *const m_home;
    int m_replyTimeout = 0;
    int m_result = 500;
    QString m_nick;
    QStringList m_objects;
    std::unique_ptr<ZMsgFw111Q> m_session;
};

#endif
