#include "LoginAttempt.h"

#include <zmsgfw111q.h>

LoginAttempt::LoginAttempt(const QString &name, const QString &password, bool askNick, QObject *parent)
    : QThread(parent)
    , m_name(name)
    , m_password(password)
    , m_askNick(askNick)
    , m_home(thread())
{}

LoginAttempt::~LoginAttempt()
{
    wait();
    if (m_session)
        m_session->logoutUser();
}

void LoginAttempt::run()
{
    auto session = std::make_unique<ZMsgFw111Q>();
    if (m_replyTimeout > 0)
        session->setReplyTimeout(m_replyTimeout);
    // The window confirms every message it shows; the server must hear so at this login.
    session->setAcknowledging(true);
    // Lines pushed before a reply are handed on by the session, not kept: they are collected
    // here for the window.
    connect(
        session.get(), &ZMsgFw111Q::objectIncomed, session.get(),
        [this](const QString &object) { m_objects << object; }, Qt::DirectConnection);
    m_result = session->loginUser(m_name, m_password);
    if (m_result != 200)
        return;
    if (m_askNick)
        m_nick = session->getUserNick();
    session->disconnect();
    session->moveSessionToThread(m_home);
    session->moveToThread(m_home);
    m_session = std::move(session);
}
