// Start-up of the real program under a real X server. Every launch gets a private Xvfb and a
// fresh HOME; the time runs from the launch to the first top-level window the X server reports
// as mapped, and the resident memory is read 3 s later. With "--compare CMD" another program
// is launched the same way, run by run in alternating order, and the ratios are printed.
//
//   startup_x11 [--runs N] [--program CMD] [--compare CMD] [--libraries]
//
// "--libraries" lists on standard error the shared libraries each program has mapped when
// its first window appears.
#include "benchsupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <xcb/xcb.h>

#include <poll.h>

#include <cstdlib>
#include <memory>

namespace {

constexpr int DefaultRuns = 7;
constexpr int MemoryDelayMs = 3000;
constexpr int MapTimeoutMs = 30000;
constexpr double RatioTarget = 0.5;

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

struct Command {
    QString program;
    QStringList arguments;
    QString label;
};

// The label names the program and its arguments without their directories.
Command parseCommand(const QString &text)
{
    QStringList words = QProcess::splitCommand(text);
    Command command;
    if (words.isEmpty())
        return command;
    command.program = words.takeFirst();
    command.arguments = words;
    QStringList shortWords{QFileInfo(command.program).fileName()};
    for (const QString &word : words)
        shortWords << (word.contains(QLatin1Char('/')) ? QFileInfo(word).fileName() : word);
    command.label = shortWords.join(QLatin1Char(' '));
    return command;
}

struct Launch {
    bool ok = false;
    double firstWindowMs = 0;
    double processorMs = 0;
    double residentMiB = 0;
    double anonymousMiB = 0;
    QStringList libraries;
};

using Connection = std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)>;

// An Xvfb of this process's own, on the display number it picks itself, with a connection
// that hears of every window mapped on its root.
class PrivateDisplay
{
public:
    PrivateDisplay() = default;
    Q_DISABLE_COPY(PrivateDisplay)
    ~PrivateDisplay()
    {
        m_connection.reset();
        if (m_server.state() != QProcess::NotRunning) {
            m_server.terminate();
            if (!m_server.waitForFinished(5000)) {
                m_server.kill();
                m_server.waitForFinished(5000);
            }
        }
    }

    bool start()
    {
        m_server.setStandardErrorFile(QProcess::nullDevice());
        m_server.start(QStringLiteral("Xvfb"),
                       {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                        QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                        QStringLiteral("tcp")});
        if (!m_server.waitForStarted(10000)) {
            err() << "Xvfb did not start: " << m_server.errorString() << Qt::endl;
            return false;
        }
        // Xvfb writes its display number once it accepts clients.
        QByteArray number;
        QDeadlineTimer deadline(10000);
        while (!number.contains('\n') && number.size() < 16 && m_server.waitForReadyRead(deadline.remainingTime()))
            number += m_server.read(16 - number.size());
        bool ok = false;
        const int display = number.trimmed().toInt(&ok);
        if (!number.contains('\n') || !ok) {
            err() << "Xvfb did not tell its display number\n";
            return false;
        }
        m_name = QStringLiteral(":%1").arg(display);
        m_connection.reset(xcb_connect(m_name.toLocal8Bit().constData(), nullptr));
        if (xcb_connection_has_error(m_connection.get())) {
            err() << "cannot connect to the X server on " << m_name << Qt::endl;
            return false;
        }
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_connection.get())).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        // Checked, so the selection is in force before anything is launched.
        xcb_generic_error_t *error =
            xcb_request_check(m_connection.get(),
                              xcb_change_window_attributes_checked(m_connection.get(), root, XCB_CW_EVENT_MASK, &mask));
        const bool selected = !error;
        std::free(error);
        return selected;
    }

    QString name() const { return m_name; }

    // Waits for the first top-level window to be mapped; windows that bypass the window manager
    // (menus, tooltips) do not count. 0 when the time runs out or the program ends first.
    xcb_window_t waitForTopLevelMap(const QProcess &program, int timeoutMs)
    {
        const int fd = xcb_get_file_descriptor(m_connection.get());
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired() && !xcb_connection_has_error(m_connection.get())) {
            while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection.get())) {
                xcb_window_t mapped = 0;
                if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
                    const auto *map = reinterpret_cast<const xcb_map_notify_event_t *>(event);
                    if (!map->override_redirect)
                        mapped = map->window;
                }
                std::free(event);
                if (mapped)
                    return mapped;
            }
            pollfd readable{fd, POLLIN, 0};
            if (poll(&readable, 1, int(qMin<qint64>(deadline.remainingTime(), 50))) == 0) {
                QCoreApplication::processEvents();
                if (program.state() == QProcess::NotRunning)
                    return 0;
            }
        }
        return 0;
    }

    QString windowTitle(xcb_window_t window)
    {
        return QString::fromUtf8(property(window, XCB_ATOM_WM_NAME, XCB_ATOM_ANY));
    }

    // The _NET_WM_PID the toolkit stores on its windows, or 0.
    qint64 windowProcessId(xcb_window_t window)
    {
        xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(
            m_connection.get(), xcb_intern_atom(m_connection.get(), 1, 11, "_NET_WM_PID"), nullptr);
        if (!atom)
            return 0;
        const QByteArray value = property(window, atom->atom, XCB_ATOM_CARDINAL);
        std::free(atom);
        return value.size() == 4 ? *reinterpret_cast<const quint32 *>(value.constData()) : 0;
    }

private:
    QByteArray property(xcb_window_t window, xcb_atom_t name, xcb_atom_t type)
    {
        // At most 1 KiB: a title or a process id.
        xcb_get_property_reply_t *reply = xcb_get_property_reply(
            m_connection.get(), xcb_get_property(m_connection.get(), 0, window, name, type, 0, 256), nullptr);
        if (!reply)
            return {};
        const QByteArray value(static_cast<const char *>(xcb_get_property_value(reply)),
                               xcb_get_property_value_length(reply));
        std::free(reply);
        return value;
    }

    QProcess m_server;
    QString m_name;
    Connection m_connection{nullptr, &xcb_disconnect};
};

// The program's own defaults under X, in a fresh home: no platform, OpenGL integration or
// session bus chosen for it, and endpoints on a closed local port so no server is reached.
QProcessEnvironment launchEnvironment(const QString &home, const QString &display)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name :
         {"QT_QPA_PLATFORM", "QT_XCB_GL_INTEGRATION", "DBUS_SESSION_BUS_ADDRESS", "XAUTHORITY", "WAYLAND_DISPLAY"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("DISPLAY"), display);
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/.cache"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/runtime"));
    environment.insert(QStringLiteral("ZMSGFW_HOST"), QStringLiteral("127.0.0.1"));
    for (const char *name : {"ZMSGFW_PORT", "ZMSGFW_AVATAR_PORT", "ZMSGFW_AVATAR_HTTP_PORT"})
        environment.insert(QString::fromLatin1(name), QStringLiteral("1"));
    environment.insert(QStringLiteral("ZM_WEB_HOST"), QStringLiteral("127.0.0.1:1"));
    return environment;
}

// The shared libraries in a process's memory map, by file name.
QStringList mappedLibraries(qint64 pid)
{
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    if (!maps.open(QIODevice::ReadOnly))
        return {};
    QSet<QString> names;
    for (const QByteArray &line : maps.read(16 * 1024 * 1024).split('\n')) {
        const int slash = line.indexOf('/');
        const QString name = slash < 0 ? QString() : QFileInfo(QString::fromUtf8(line.mid(slash))).fileName();
        if (name.contains(QLatin1String(".so")))
            names.insert(name);
    }
    QStringList sorted = names.values();
    sorted.sort();
    return sorted;
}

// Processor time used so far by the threads of a process that are still alive, in ms: the
// first field of each thread's schedstat (nanoseconds on a processor). Unlike the wall-clock
// time it hardly depends on what else the machine is doing.
double processorMs(qint64 pid)
{
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    double total = 0;
    for (const QString &task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile schedstat(tasks + QLatin1Char('/') + task + QStringLiteral("/schedstat"));
        if (schedstat.open(QIODevice::ReadOnly))
            total += schedstat.read(256).split(' ').value(0).toDouble() / 1e6;
    }
    return total;
}

void stop(QProcess &program)
{
    program.terminate();
    if (!program.waitForFinished(10000)) {
        program.kill();
        program.waitForFinished(5000);
    }
}

Launch launchOnce(const Command &command)
{
    Launch launch;
    PrivateDisplay display;
    QTemporaryDir home;
    if (!display.start() || !home.isValid() || !QDir(home.path()).mkpath(QStringLiteral("runtime"))
        || !QFile::setPermissions(home.filePath(QStringLiteral("runtime")),
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner))
        return launch;

    QProcess program;
    program.setProcessEnvironment(launchEnvironment(home.path(), display.name()));
    program.setWorkingDirectory(home.path());
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.setStandardOutputFile(home.filePath(QStringLiteral("output.log")));

    QElapsedTimer clock;
    clock.start();
    program.start(command.program, command.arguments);
    // Returns once the program is executing; it goes on meanwhile, and so does the clock.
    const bool started = program.waitForStarted(10000);
    const xcb_window_t window = started ? display.waitForTopLevelMap(program, MapTimeoutMs) : 0;
    launch.firstWindowMs = double(clock.nsecsElapsed()) / 1e6;
    if (!window) {
        QFile output(home.filePath(QStringLiteral("output.log")));
        output.open(QIODevice::ReadOnly);
        err() << command.label << ": no window was mapped within " << MapTimeoutMs << " ms (" << program.errorString()
              << ")\n"
              << output.read(4096) << Qt::endl;
        stop(program);
        return launch;
    }
    // The window's own process, where the command is a wrapper that started it.
    qint64 pid = display.windowProcessId(window);
    if (pid <= 0 || !QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid)))
        pid = program.processId();
    launch.processorMs = processorMs(pid);
    launch.libraries = mappedLibraries(pid);
    const QString title = display.windowTitle(window);

    QThread::msleep(MemoryDelayMs);
    launch.residentMiB = Bench::processStatusMiB("VmRSS", QString::number(pid));
    launch.anonymousMiB = Bench::processStatusMiB("RssAnon", QString::number(pid));
    QCoreApplication::processEvents();
    launch.ok = launch.residentMiB > 0 && launch.anonymousMiB > 0 && program.state() == QProcess::Running;
    if (!launch.ok)
        err() << command.label << ": the program ended, or its memory could not be read\n";
    err() << command.label << ": window \"" << title << "\" after " << launch.firstWindowMs << " ms ("
          << launch.processorMs << " ms on a processor), " << launch.libraries.size() << " libraries mapped; "
          << launch.residentMiB << " MiB resident, " << launch.anonymousMiB << " MiB anonymous" << Qt::endl;
    stop(program);
    return launch;
}

struct Summary {
    double median = 0;
    double min = 0;
    double max = 0;
};

Summary summarise(const QVector<double> &values)
{
    if (values.isEmpty())
        return {};
    return {Bench::median(values), *std::min_element(values.begin(), values.end()),
            *std::max_element(values.begin(), values.end())};
}

class Series
{
public:
    explicit Series(const Command &command)
        : m_command(command)
    {}

    void add(const Launch &launch)
    {
        ++m_runs;
        if (!launch.ok)
            return;
        m_times << launch.firstWindowMs;
        m_processor << launch.processorMs;
        m_resident << launch.residentMiB;
        m_anonymous << launch.anonymousMiB;
        if (m_libraries.isEmpty())
            m_libraries = launch.libraries;
    }

    bool complete() const { return m_runs > 0 && m_times.size() == m_runs; }
    const Command &command() const { return m_command; }
    Summary times() const { return summarise(m_times); }
    Summary processor() const { return summarise(m_processor); }
    Summary resident() const { return summarise(m_resident); }
    Summary anonymous() const { return summarise(m_anonymous); }
    QStringList libraries() const { return m_libraries; }

    void print() const
    {
        const QString runs =
            complete() ? QString::number(m_runs) : QStringLiteral("%1 of %2").arg(m_times.size()).arg(m_runs);
        printOne(QStringLiteral("launch to first window under Xvfb"), times(), runs, QStringLiteral("ms"));
        printOne(QStringLiteral("processor time to first window"), processor(), runs, QStringLiteral("ms"));
        printOne(QStringLiteral("resident memory (VmRSS) 3 s after the first window"), resident(), runs,
                 QStringLiteral("MiB"));
        printOne(QStringLiteral("anonymous memory (RssAnon) 3 s after the first window"), anonymous(), runs,
                 QStringLiteral("MiB"));
    }

private:
    void printOne(const QString &what, const Summary &summary, const QString &runs, const QString &unit) const
    {
        Bench::figure(QStringLiteral("%1: %2, median of %3 (min %4, max %5)")
                          .arg(m_command.label, what, runs, QString::number(summary.min, 'f', 1),
                               QString::number(summary.max, 'f', 1)),
                      summary.median, unit, QStringLiteral("informative"), complete());
    }

    Command m_command;
    int m_runs = 0;
    QVector<double> m_times, m_processor, m_resident, m_anonymous;
    QStringList m_libraries;
};

void printRatio(const Series &ours, const Series &theirs, const QString &what, double ourValue, double theirValue,
                bool targeted)
{
    const bool valid = ours.complete() && theirs.complete() && theirValue > 0;
    const double ratio = valid ? ourValue / theirValue : 0;
    Bench::figure(
        QStringLiteral("%1 / %2: %3, ratio of medians").arg(ours.command().label, theirs.command().label, what), ratio,
        QStringLiteral("x"),
        targeted ? QStringLiteral("<= %1").arg(RatioTarget, 0, 'f', 2) : QStringLiteral("informative"),
        valid && (!targeted || ratio <= RatioTarget));
}

void printLibraries(const Series &series)
{
    err() << series.command().label << " has " << series.libraries().size()
          << " shared libraries mapped at its first window:\n  " << series.libraries().join(QStringLiteral("\n  "))
          << Qt::endl;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    int runs = DefaultRuns;
    QString ourCommand = QStringLiteral(ZM_ZMESSENGER_PATH);
    QString otherCommand;
    bool listLibraries = false;
    while (!arguments.isEmpty()) {
        const QString option = arguments.takeFirst();
        if (option == QLatin1String("--libraries")) {
            listLibraries = true;
        } else if (option == QLatin1String("--runs") && !arguments.isEmpty()) {
            runs = qBound(1, arguments.takeFirst().toInt(), 100);
        } else if (option == QLatin1String("--program") && !arguments.isEmpty()) {
            ourCommand = arguments.takeFirst();
        } else if (option == QLatin1String("--compare") && !arguments.isEmpty()) {
            otherCommand = arguments.takeFirst();
        } else {
            err() << "usage: startup_x11 [--runs N] [--program CMD] [--compare CMD] [--libraries]\n";
            return 2;
        }
    }

    Series ours(parseCommand(ourCommand));
    std::unique_ptr<Series> theirs;
    if (!otherCommand.isEmpty()) {
        Command other = parseCommand(otherCommand);
        // Two builds of one program are told apart by their full commands.
        if (other.label == ours.command().label)
            other.label = otherCommand;
        theirs.reset(new Series(other));
    }
    if (ours.command().program.isEmpty() || (theirs && theirs->command().program.isEmpty())) {
        err() << "an empty command\n";
        return 2;
    }

    // Alternating who goes first keeps the order of launches from favouring either program.
    for (int run = 0; run < runs; ++run) {
        if (theirs && run % 2)
            theirs->add(launchOnce(theirs->command()));
        ours.add(launchOnce(ours.command()));
        if (theirs && run % 2 == 0)
            theirs->add(launchOnce(theirs->command()));
    }

    ours.print();
    if (listLibraries)
        printLibraries(ours);
    if (theirs) {
        theirs->print();
        if (listLibraries)
            printLibraries(*theirs);
        printRatio(ours, *theirs, QStringLiteral("launch to first window"), ours.times().median, theirs->times().median,
                   true);
        printRatio(ours, *theirs, QStringLiteral("processor time to first window"), ours.processor().median,
                   theirs->processor().median, false);
        printRatio(ours, *theirs, QStringLiteral("resident memory"), ours.resident().median, theirs->resident().median,
                   true);
        printRatio(ours, *theirs, QStringLiteral("anonymous memory"), ours.anonymous().median,
                   theirs->anonymous().median, false);
    }
    return 0;
}
