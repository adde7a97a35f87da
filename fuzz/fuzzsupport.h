#ifndef FUZZSUPPORT_H
#define FUZZSUPPORT_H

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QtGlobal>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// A broken property is reported like a crash, so libFuzzer keeps the input as an artifact.
#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "FUZZ_CHECK failed at %s:%d: %s\n", __FILE__, __LINE__, #condition);                  \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)

namespace FuzzSupport {

// The parsers log refused input; millions of log lines would only slow the fuzzer down.
inline void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "qFatal: %s\n", qPrintable(message));
        std::abort();
    }
}

inline void installQuietHandler()
{
    qInstallMessageHandler(quietMessages);
}

// Sockets and image plugins want an application object; the fuzzer's own arguments are no
// concern of Qt's.
inline void makeApplication()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}

// A text result of a synchronous call: a value, or an error word followed by its reason;
// never a bare or glued "///Error".
inline bool isResultText(const QString &text)
{
    return !text.startsWith(QLatin1String("///Error")) || text.startsWith(QLatin1String("///Error "));
}

inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), static_cast<int>(size));
}

// The same text with every CR LF and lone CR turned into LF.
inline QString unifiedLineBreaks(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace FuzzSupport

#endif
