#include "MessageReceipts.h"

#include <QTimer>

#include <utility>

MessageReceipts::MessageReceipts(Acknowledge confirm, QObject *parent)
    : QObject(parent)
    , acknowledge(std::move(confirm))
{}

bool MessageReceipts::shownBefore(const QString &account, qint64 id, const QString &sender, const QString &text)
{
    if (seen.account() != account)
        seen.open(account);
    return id > 0 && seen.contains(id, sender, text);
}

void MessageReceipts::markShown(qint64 id, const QString &sender, const QString &text)
{
    seen.insert(id, sender, text);
}

void MessageReceipts::confirm(qint64 id)
{
    if (id <= 0)
        return;
    pending.append(id);
    if (std::exchange(scheduled, true))
        return;
    QTimer::singleShot(0, this, [this] { sendPending(); });
}

void MessageReceipts::sendPending()
{
    scheduled = false;
    seen.save();
    // A confirmation that cannot go out now is not kept: the server delivers that message again
    // at the next login, and it is confirmed then.
    for (qint64 id : std::exchange(pending, {}))
        acknowledge(id);
}
