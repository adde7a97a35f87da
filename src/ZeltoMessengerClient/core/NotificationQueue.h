#ifndef NOTIFICATIONQUEUE_H
#define NOTIFICATIONQUEUE_H

#include <QString>
#include <QVector>

#include <functional>

// Popups and the message sound held back while a burst of incoming objects is handed over:
// only the newest few popups could be seen, and one sound stands for the whole burst. The
// newest note of a contact and kind replaces an older one; beyond MaxHeld the oldest go.
class NotificationQueue
{
public:
    struct Note {
        QString text, title, data, image;
        // With a summary, the desktop's notification service may show summary and plain body.
        QString summary, body;
    };
    struct Released {
        QVector<Note> notes;
        bool chatIn = false;
    };
    // Monotonic milliseconds; injectable so that tests need not wait out the hold.
    using Clock = std::function<qint64()>;

    static constexpr int MaxHeld = 3;
    // A stream that never ends still shows something after this long.
    static constexpr int MaxHoldMs = 1000;

    explicit NotificationQueue(Clock clock = Clock());

    bool isHolding() const { return holding; }
    // Starts holding; a hold already running keeps its start.
    void hold();
    bool heldTooLong() const;
    // False when nothing is held: the caller shows the note at once.
    bool add(const Note &note);
    // False when nothing is held: the caller plays the sound at once.
    bool addChatIn();
    // Ends the hold and hands over what waited, oldest first.
    Released release();

private:
    Clock clock;
    bool holding = false;
    qint64 heldSince = 0;
    QVector<Note> notes;
    bool chatIn = false;
};

#endif
