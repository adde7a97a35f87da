#ifndef TICKTIMER_H
#define TICKTIMER_H

#include <QTimer>

// A single-shot timer whose timeout is also the signal tick(), so that a window slot named
// on_<timer name>_tick is bound to it by name like the slots of the form's widgets.
class TickTimer : public QTimer
{
    Q_OBJECT
public:
    TickTimer(const QString &name, QObject *parent)
        : QTimer(parent)
    {
        setObjectName(name);
        setSingleShot(true);
        connect(this, &QTimer::timeout, this, &TickTimer::tick);
    }

signals:
    void tick();
};

#endif
