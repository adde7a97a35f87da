#ifndef ACCOUNTCHECKS_H
#define ACCOUNTCHECKS_H

#include <QByteArray>
#include <QString>

// Checks that user-entered account texts pass before they are sent to the server.
namespace AccountChecks {

constexpr int MinNickLength = 3;
// The longest name and status message (counted after HTML escaping) the server takes.
constexpr int MaxNickLength = 64;
constexpr int MaxMessageStateLength = 1024;
constexpr int MinPasswordLength = 8;
// The longest password the server takes; every password field holds at most this many.
constexpr int MaxPasswordLength = 256;

// The UTF-8 bytes must read the same as Latin-1 and as UTF-8, and the Latin-1 bytes must read
// as the same UTF-8 text; in effect only 7-bit ASCII passes.
bool isUtf8WithoutBomCompatible(const QString &text);
// A CR or LF would end the protocol line the text is sent in.
bool hasLineBreak(const QString &text);

enum class NickProblem { None, TooShort, TooLong, NotTrimmed, LineBreak, Encoding };
NickProblem checkNick(const QString &nick);

// escaped: the status message after HTML escaping; raw: its UTF-8 bytes as typed.
enum class MessageStateProblem { None, NotTrimmed, LineBreak, Encoding, TooLong };
MessageStateProblem checkMessageState(const QString &escaped, const QByteArray &raw);

enum class PasswordProblem { None, Mismatch, TooShort, NotTrimmed, LineBreak, Encoding };
PasswordProblem checkNewPassword(const QString &newPassword, const QString &repeated);

// What a login cannot send at all: a line break (pasted along with a name or password)
// would end the protocol line.
enum class LoginProblem { None, NameLineBreak, PasswordLineBreak };
LoginProblem checkLogin(const QString &name, const QString &password);

} // namespace AccountChecks

#endif
