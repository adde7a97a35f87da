#ifndef BENCHSUPPORT_H
#define BENCHSUPPORT_H

// What every benchmark program shares: the FIGURE lines that scripts/bench.sh collects, the
// resident memory of the process, and a private home for the settings and data it writes.

#include <QByteArray>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QVector>

#include <algorithm>
#include <functional>

namespace Bench {

// One line "FIGURE name|value|unit|target|met".
inline void figure(const QString &name, double value, const QString &unit, const QString &target, bool met)
{
    QTextStream(stdout) << "FIGURE " << name << '|' << QString::number(value, 'f', 2) << '|' << unit << '|' << target
                        << '|' << (met ? "yes" : "no") << Qt::endl;
}

// The value of a "Key:   1234 kB" line of a /proc/<pid>/status text in MiB, or -1 where the
// text holds no such line.
inline double statusMiB(const QByteArray &statusText, const QByteArray &key)
{
    const QByteArray prefix = key + ':';
    for (const QByteArray &line : statusText.split('\n')) {
        if (!line.startsWith(prefix))
            continue;
        const QList<QByteArray> words = line.mid(prefix.size()).simplified().split(' ');
        bool ok = false;
        const double kib = words.value(0).toDouble(&ok);
        return ok && words.value(1) == "kB" ? kib / 1024.0 : -1;
    }
    return -1;
}

// A memory figure (VmRSS, RssAnon, ...) of /proc/<pid>/status in MiB, or -1.
inline double processStatusMiB(const QByteArray &key, const QString &pid = QStringLiteral("self"))
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    return statusMiB(status.read(64 * 1024), key);
}

// VmRSS of this process in MiB, or -1 where /proc cannot tell.
inline double residentMiB()
{
    return processStatusMiB("VmRSS");
}

// The middle value (the mean of the two middle ones for an even count); 0 for none.
inline double median(QVector<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const int middle = values.size() / 2;
    return values.size() % 2 ? values.at(middle) : (values.at(middle - 1) + values.at(middle)) / 2;
}

// The fields of /proc/<pid>/stat (or /proc/self/stat) that follow the command name, so that
// field 3 of the kernel's numbering is index 0; empty where /proc cannot tell. The command
// name may hold spaces, so the fields are counted after its closing parenthesis.
inline QList<QByteArray> processStatFields(const QString &pid = QStringLiteral("self"))
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2).split(' ');
}

// Points HOME and the XDG directories at home, and Qt at the offscreen platform unless a
// platform was chosen; call before the application object exists.
inline void useHome(const QTemporaryDir &home)
{
    for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qputenv(name, home.path().toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// The longest stretch the event loop could not run a 1 ms timer while the action ran and the
// window laid out and painted its result (settleMs of idle loop afterwards).
inline double longestBlockMs(const std::function<void()> &action, int settleMs = 300)
{
    QEventLoop loop;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = qMax(longest, now - last);
        last = now;
    });
    QTimer::singleShot(0, &loop, [&] {
        action();
        QTimer::singleShot(settleMs, &loop, &QEventLoop::quit);
    });
    clock.start();
    tick.start(1);
    loop.exec();
    longest = qMax(longest, clock.nsecsElapsed() - last);
    return double(longest) / 1e6;
}

} // namespace Bench

#endif
