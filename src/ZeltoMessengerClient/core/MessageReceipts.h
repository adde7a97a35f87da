#ifndef MESSAGERECEIPTS_H
#define MESSAGERECEIPTS_H

#include "SeenMessages.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

// Messages handled (shown, stored, or deliberately dropped) wait here for their confirmation
// to the server, which goes out once the record of shown ones is saved: delivered again after
// a restart of the program, they must still be known as shown.
class MessageReceipts : public QObject
{
public:
    using Acknowledge = std::function<void(qint64 id)>;
    explicit MessageReceipts(Acknowledge acknowledge, QObject *parent = nullptr);

    // True when the account was shown this message before (its confirmation was lost).
    bool shownBefore(const QString &account, qint64 id, const QString &sender, const QString &text);
    void markShown(qint64 id, const QString &sender, const QString &text);
    // Ids of 0 and below have nothing to confirm. Confirmations go out at the next turn of
    // the event loop, so that a burst costs one save of the record.
    void confirm(qint64 id);

private:
    void sendPending();

    Acknowledge acknowledge;
    SeenMessages seen;
    QList<qint64> pending;
    bool scheduled = false;
};

#endif
