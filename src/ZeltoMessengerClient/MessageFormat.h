#ifndef MESSAGEFORMAT_H
#define MESSAGEFORMAT_H

#include <QByteArray>
#include <QString>

// The chat text conventions: messages travel HTML-escaped with the client's own entity
// table, and the chat view shows them with smileys and links turned into markup.
namespace MessageFormat {

// Outgoing escaping: &, <, >, ", the German letters and a few signs become entities, and
// every line break becomes "<br>".
QString escapeHtml(const QString &text);
// The inverse of escapeHtml as UTF-8 bytes ("<br>" becomes a line feed, "&amp;" is last).
QByteArray decodeEntities(const QString &text);
// A received message made safe to render: decoded and escaped again, so correctly escaped
// text stays the same while any markup a sender slipped in is shown literally.
QString sanitizeReceived(const QString &text);
// Smileys and web links turned into markup; the text must already be escaped.
QString formatMessage(const QString &text);
// Plain text (account and display names) for use inside markup and attribute values.
QString escapeName(const QString &text);

}

#endif
