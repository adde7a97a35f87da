#include "zmsgdlog.h"

#include <QDateTime>

#include <atomic>
#include <cstdio>

namespace ZmsgdLog {

namespace {
std::atomic_bool enabledFlag{true};
}

void setEnabled(bool enabled)
{
    enabledFlag = enabled;
}

bool isEnabled()
{
    return enabledFlag;
}

void event(const QString &text)
{
    if (!enabledFlag)
        return;
    const QByteArray line = QDateTime::currentDateTime().toString(Qt::ISODate).toUtf8() + " zmsgd: "
        + text.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fflush(stderr);
}

} // namespace ZmsgdLog
