#ifndef ZMSGDLOG_H
#define ZMSGDLOG_H

#include <QString>

// One line per connection event on standard error.
namespace ZmsgdLog {
void setEnabled(bool enabled);
bool isEnabled();
void event(const QString &text);
} // namespace ZmsgdLog

#endif
