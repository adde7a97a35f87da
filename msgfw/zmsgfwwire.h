#ifndef ZMSGFWWIRE_H
#define ZMSGFWWIRE_H

#include "zmsgfw_export.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// Line format of protocol generation 1.1: framing, words, arguments and value escaping.
// Pure functions shared by the client classes, the development server and the tests.
namespace ZMsgFwWire {

// The protocol tag, word 1 of every line.
ZMSGFW_EXPORT extern const char *const Tag;

// Longest line accepted from the network, line feed included. A peer that sends more
// without a line feed is treated as a broken connection instead of growing memory. Long
// contact lists with status messages travel as one line, so this is generous.
constexpr qint64 MaxLineLength = 16 * 1024 * 1024;

// Longest text of a pushed message the library hands on, in characters. Servers refuse
// messages far shorter; a longer one can only come from a broken or hostile server and is
// dropped like a malformed line.
constexpr int MaxMessageTextLength = 256 * 1024;

// "&" -> "&amp;", then " " -> "&nbsp;".
ZMSGFW_EXPORT QString escapeValue(const QString &value);
// "&nbsp;" -> " ", then "&amp;" -> "&"; the exact inverse of escapeValue.
ZMSGFW_EXPORT QString unescapeValue(const QString &value);

// Decodes bytes from the network as UTF-8, all of them: a NUL byte stays a character
// instead of ending the text early.
ZMSGFW_EXPORT QString decodeUtf8(const QByteArray &bytes);
// Decodes a raw line as UTF-8 (as decodeUtf8) and trims surrounding white space.
ZMSGFW_EXPORT QString decodeLine(const QByteArray &line);
// Splits a trimmed line at every single space; empty words are kept.
ZMSGFW_EXPORT QStringList splitWords(const QString &line);

// Value of the argument "--key=" (key given with its dashes and "=", e.g. "--id=").
// The last occurrence wins; a missing argument gives an empty string and sets *found to false.
ZMSGFW_EXPORT QString argumentValue(const QStringList &words, const QString &key, bool *found = nullptr);
// Decimal integer value of an argument; not a number reads as 0, missing gives defaultValue.
ZMSGFW_EXPORT int integerArgument(const QStringList &words, const QString &key, int defaultValue = 0,
                                  bool *found = nullptr);

// True when words form a reply: at least three words, "ZM/1.1" and "return".
ZMSGFW_EXPORT bool isReturnLine(const QStringList &words);

// A value that would break the line framing (carriage return or line feed) must never be written.
ZMSGFW_EXPORT bool isWritableValue(const QString &value);

// Builds one protocol line: "ZM/1.1 <verb>" followed by arguments. Text values are escaped,
// numbers and flags are written as they are. A line holding a CR or LF anywhere is not valid.
class ZMSGFW_EXPORT LineBuilder
{
public:
    explicit LineBuilder(const QString &verb);
    LineBuilder &text(const QString &key, const QString &value);
    LineBuilder &raw(const QString &key, const QString &value);
    LineBuilder &number(const QString &key, int value);
    LineBuilder &flag(const QString &key, bool value);
    bool isValid() const { return m_valid; }
    // UTF-8 bytes of the line with its terminating line feed.
    QByteArray toBytes() const;

private:
    QString m_line;
    bool m_valid = true;
};

// Renders one wire line into the client's incoming-object text:
// "MessageFromUser<>" sender ": " text "\n", "PokeFromUser<>" sender "\n",
// "ReturnIntialize" followed by "<>" + converted word for every word of a return or
// notification line, or the empty string for anything else.
ZMSGFW_EXPORT QString renderIncomingObject(const QByteArray &line);
// The same; *messageId receives the "--mid=" of a message line, or 0 for any other line and for a
// message whose number is missing or not positive.
ZMSGFW_EXPORT QString renderIncomingObject(const QByteArray &line, qint64 *messageId);
// One word of a return or notification line as it appears inside an incoming object: the
// unescaped word with "<" and ">" written as "&lt;" and "&gt;", so that "<>" never occurs inside
// a value; "&" stays as it is.
ZMSGFW_EXPORT QString convertObjectWord(const QString &word);

// One field of a list entry ("user|nick|status|state", entries joined by "<>"): "|", "<", ">"
// and "&" become "&#124;", "&#60;", "&#62;" and "&#38;". No field can then hold text that the
// incoming object shows like the entry separator ("&lt;&gt;"), whatever a user typed. Values
// without these characters are unchanged. The server applies it to every field before
// joining; the client undoes it after splitting.
ZMSGFW_EXPORT QString escapeListField(const QString &field);
ZMSGFW_EXPORT QString unescapeListField(const QString &field);

} // namespace ZMsgFwWire

#endif
