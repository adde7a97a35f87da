#ifndef POPUPTEXT_H
#define POPUPTEXT_H

#include <QByteArray>
#include <QString>

// The lines of a popup about an incoming event; each line is cut to what a popup shows.
namespace PopupText {

// Rich text: the cut line, HTML-escaped.
QString line(const QByteArray &utf8);
// The cut line as plain text, for the desktop's notification service.
QString plainLine(const QByteArray &utf8);
// The sender's name in blue, escaped, followed by a line break.
QString header(const QString &name);

} // namespace PopupText

#endif
