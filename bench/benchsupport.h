#ifndef BENCHSUPPORT_H
#define BENCHSUPPORT_H

// What every benchmark program shares: the FIGURE lines that scripts/bench.sh collects, the
// resident memory of the process, and a private home for the settings and data it writes.

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QTextStream>

namespace Bench {

// One line "FIGURE name|value|unit|target|met".
inline void figure(const QString &name, double value, const QString &unit, const QString &target, bool met)
{
    QTextStream(stdout) << "FIGURE " << name << '|' << QString::number(value, 'f', 2) << '|' << unit << '|'
                        << target << '|' << (met ? "yes" : "no") << Qt::endl;
}

// VmRSS of this process in MiB, or -1 where /proc cannot tell.
inline double residentMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
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

} // namespace Bench

#endif
