#ifndef ZMSGDLOG_H
#define ZMSGDLOG_H

#include <QString>

// One line per connection event on standard error.
namespace ZmsgdLog {
void setEnabled(bool enabled);
bool isEnabled();
// Writes the text escaped: whatever a client sent cannot start a forged line or reach the
// terminal as an escape sequence.
void event(const QString &text);
// Control characters (C0, DEL, C1, line and paragraph separators, bidirectional overrides)
// and the backslash written as escapes: "\n", "\r", "\t", "\\", "\xNN" or "\u{NNNN}".
QString escaped(const QString &text);
} // namespace ZmsgdLog

#endif
