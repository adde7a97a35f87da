#include "NotificationQueue.h"

#include <QElapsedTimer>

#include <algorithm>
#include <memory>
#include <utility>

NotificationQueue::NotificationQueue(Clock now)
    : clock(std::move(now))
{
    if (!this->clock) {
        auto started = std::make_shared<QElapsedTimer>();
        started->start();
        this->clock = [started] { return started->elapsed(); };
    }
}

void NotificationQueue::hold()
{
    if (!std::exchange(holding, true))
        heldSince = clock();
}

bool NotificationQueue::heldTooLong() const
{
    return holding && clock() - heldSince >= MaxHoldMs;
}

bool NotificationQueue::add(const Note &note)
{
    if (!holding)
        return false;
    const auto same = std::find_if(notes.begin(), notes.end(), [&note](const Note &held) {
        return held.data == note.data && held.title == note.title;
    });
    if (same != notes.end())
        notes.erase(same);
    notes.append(note);
    if (notes.size() > MaxHeld)
        notes.removeFirst();
    return true;
}

bool NotificationQueue::addChatIn()
{
    if (!holding)
        return false;
    chatIn = true;
    return true;
}

NotificationQueue::Released NotificationQueue::release()
{
    holding = false;
    Released released;
    released.notes = std::exchange(notes, {});
    released.chatIn = std::exchange(chatIn, false);
    return released;
}
