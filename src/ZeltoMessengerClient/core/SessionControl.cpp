#include "SessionControl.h"

#include "LoginAttempt.h"

#include <zmsgfw111q.h>

#include <QDebug>
#include <QElapsedTimer>
#include <QTimer>

#include <memory>

namespace {

// How long one slice may spend handing over buffered objects before the event loop gets its
// turn; what is left is taken after the pause.
constexpr int DrainBudgetMs = 20;
constexpr int DrainPauseMs = 5;

} // namespace

SessionControl::~SessionControl()
{
    delete attempt.data();
}

void SessionControl::setSession(ZMsgFw111Q *sessionObject, Hooks sessionHooks)
{
    session = sessionObject;
    hooks = std::move(sessionHooks);
}

void SessionControl::startAttempt(const QString &name, const QString &password, bool askNick,
                                  std::function<void(LoginAttempt &)> done)
{
    auto *started = new LoginAttempt(name, password, askNick, this);
    started->setReplyTimeout(session->replyTimeout());
    attempt = started;
    const quint64 startedIn = generation;
    // Only this handler deletes an attempt, apart from the destructor, which takes the queued
    // call with it.
    connect(started, &QThread::finished, this, [this, started, startedIn, done] {
        const std::unique_ptr<LoginAttempt> ended(started);
        attempt = nullptr;
        if (startedIn != generation) {
            qInfo() << "A login that ended after a logout is dropped";
            return;
        }
        done(*ended);
    });
    started->start();
}

int SessionControl::takeOver(LoginAttempt &ended)
{
    for (const QString &object : ended.objectsMeanwhile())
        hooks.read(object);
    const int result = ended.result();
    if (result == 200 && !session->adoptSession(ended.session()))
        return 500;
    return result;
}

void SessionControl::requestAfterLogin()
{
    session->requestGetUserAvatar();
    session->requestGetUserContactsWithAvatar();
    session->requestGetUserContactsWithStates();
    session->requestGetUserContactsRequests();
    session->requestGetUserOnlineState();
}

void SessionControl::requestAfterRelogin()
{
    session->requestGetUserOnlineState();
    session->requestGetUserAvatar();
    session->requestGetUserContactsWithAvatar();
    session->requestGetUserContactsWithStates();
    session->requestGetUserContactsRequests();
}

void SessionControl::refreshContacts()
{
    session->requestGetUserContactsWithAvatar();
    session->requestGetUserContactsWithStates();
}

void SessionControl::refreshRequests()
{
    session->requestGetUserContactsRequests();
    session->requestGetUserAvatar();
}

void SessionControl::drain()
{
    QElapsedTimer budget;
    budget.start();
    hooks.drainBegins();
    bool more = false;
    while (hooks.active() && session->isObjectIncoming()) {
        hooks.read(session->readObject());
        if (budget.elapsed() >= DrainBudgetMs) {
            // Without waiting for the next regular poll, so a burst is not stretched over
            // many seconds.
            more = session->isObjectIncoming();
            if (!drainPending && more) {
                drainPending = true;
                QTimer::singleShot(DrainPauseMs, this, [this] {
                    drainPending = false;
                    drain();
                });
            }
            break;
        }
    }
    hooks.drainEnds(more);
}
