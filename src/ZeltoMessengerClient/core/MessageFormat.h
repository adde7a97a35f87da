#ifndef MESSAGEFORMAT_H
#define MESSAGEFORMAT_H

#include <QByteArray>
#include <QString>

// The chat text conventions: messages travel HTML-escaped with the client's own entity
// table, and the chat view shows them with smileys and links turned into markup.
namespace MessageFormat {

// What one message may cost the chat view, which lays out pictures in time that grows with
// the square of their number in a paragraph, and unbroken runs of text likewise.
// Smileys beyond this many in one message stay text.
constexpr int MaxPicturesPerMessage = 100;
// Received text is shown up to this many characters, the most the server takes from a
// sender; longer text is cut and ends with an ellipsis.
constexpr int MaxShownCharacters = 32 * 1024;
// Text without a break opportunity gets an invisible one (U+200B) after this many characters.
constexpr int MaxUnbrokenRun = 256;

// Outgoing escaping: &, <, >, ", the German letters and a few signs become entities, and
// every line break becomes "<br>".
QString escapeHtml(const QString &text);
// The inverse of escapeHtml as UTF-8 bytes ("<br>" becomes a line feed, "&amp;" is last).
QByteArray decodeEntities(const QString &text);
// The first maxBytes bytes of decodeEntities(text), decoding only the start of the text.
QByteArray decodeEntitiesStart(const QString &text, int maxBytes);
// A received message made safe to render: decoded and escaped again, so correctly escaped
// text stays the same while any markup a sender slipped in is shown literally. Text beyond
// MaxShownCharacters is cut.
QString sanitizeReceived(const QString &text);
// Smileys (at most MaxPicturesPerMessage) and web links turned into markup; the text must
// already be escaped.
QString formatMessage(const QString &text);
// Markup of one message as the chat view takes it, also markup stored by other versions: at
// most MaxPicturesPerMessage pictures (smileys beyond go back to their text, other pictures
// are left out), at most MaxShownCharacters characters of text, and no run of more than
// MaxUnbrokenRun characters without a break opportunity.
QString viewMarkup(const QString &markup);
// Plain text (account and display names) for use inside markup and attribute values.
QString escapeName(const QString &text);

} // namespace MessageFormat

#endif
