#include "ChatHistory.h"

#include "DataDirectory.h"
#include "MessageFormat.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSettings>
#include <QTemporaryFile>

#include <cstring>

ChatHistory::ChatHistory(const QString &contactUser)
    : m_fileName(DataDirectory::filePath(contactUser, QStringLiteral(".ini")))
{}

QString ChatHistory::blockHeader(const QString &speaker, const QString &ownName, const QString &contactName,
                                 const QString &unknownText)
{
    if (speaker == QLatin1String("You"))
        return QLatin1String("<span style=\"color: grey\">") + MessageFormat::escapeName(ownName)
            + QLatin1String("</span><br>");
    if (speaker == QLatin1String("She/He"))
        return QLatin1String("<span style=\"color: blue\">") + MessageFormat::escapeName(contactName)
            + QLatin1String("</span><br>");
    return QLatin1String("<span style=\"color: red\">") + MessageFormat::escapeName(unknownText)
        + QLatin1String("</span><br>");
}

namespace {

constexpr int MaxMessageId = 1000000000;

struct LineRef {
    int offset = -1;
    int length = 0;
};

// The lines the newest messages need, found without parsing the whole file: the last
// "LastMessageFrom" and "LastMessageID" of a "[Chat]" section and the last "Message<n>" line
// of a "[Messages]" section for every n (later lines win, as in QSettings).
struct ScannedFile {
    LineRef lastFrom;
    LineRef lastId;
    QHash<int, LineRef> messages;
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

// Where the line starting at pos ends. A backslash at the end of a line continues the value
// on the next one, unless it is the second of an escaped pair: an odd run of them continues.
int logicalLineEnd(const char *data, int pos, int size)
{
    int end = pos;
    while (true) {
        const void *nl = memchr(data + end, '\n', size_t(size - end));
        end = nl ? int(static_cast<const char *>(nl) - data) : size;
        int last = end - 1;
        while (last >= pos && data[last] == '\r')
            --last;
        int backslashes = 0;
        while (last - backslashes >= pos && data[last - backslashes] == '\\')
            ++backslashes;
        if (end >= size || backslashes % 2 == 0)
            return end;
        ++end;
    }
}

// N of a key "MessageN" (1 to 9 digits, no leading zero), else 0.
int messageNumber(const QByteArray &key)
{
    if (!key.startsWith("Message") || key.size() <= 7 || key.at(7) == '0' || key.size() > 7 + 9)
        return 0;
    int number = 0;
    for (int i = 7; i < key.size(); ++i) {
        const char c = key.at(i);
        if (c < '0' || c > '9')
            return 0;
        number = number * 10 + (c - '0');
    }
    return number;
}

ScannedFile scan(const QByteArray &content)
{
    enum class Section { Other, Chat, Messages };
    ScannedFile found;
    Section section = Section::Other;
    const char *data = content.constData();
    const int size = content.size();
    int pos = 0;
    while (pos < size) {
        const int end = logicalLineEnd(data, pos, size);
        const LineRef ref{pos, end - pos};
        int begin = pos;
        int stop = end;
        pos = end + 1;
        while (begin < stop && isBlank(data[begin]))
            ++begin;
        while (stop > begin && isBlank(data[stop - 1]))
            --stop;
        if (begin == stop || data[begin] == ';')
            continue;
        if (data[begin] == '[') {
            const QByteArray line = QByteArray::fromRawData(data + begin, stop - begin);
            const QByteArray name = line.mid(1, line.indexOf(']') - 1).trimmed();
            section = name == "Chat" ? Section::Chat : name == "Messages" ? Section::Messages : Section::Other;
            continue;
        }
        if (section == Section::Other)
            continue;
        const void *eq = memchr(data + begin, '=', size_t(stop - begin));
        if (!eq)
            continue;
        int keyEnd = int(static_cast<const char *>(eq) - data);
        while (keyEnd > begin && isBlank(data[keyEnd - 1]))
            --keyEnd;
        const QByteArray key = QByteArray::fromRawData(data + begin, keyEnd - begin);
        if (section == Section::Chat) {
            if (key == "LastMessageFrom")
                found.lastFrom = ref;
            else if (key == "LastMessageID")
                found.lastId = ref;
        } else if (const int number = messageNumber(key); number > 0) {
            found.messages.insert(number, ref);
        }
    }
    return found;
}

// The line, closed so that a damaged one (an open quoted value) cannot swallow the lines
// that follow it in an excerpt.
QByteArray lineOf(const QByteArray &content, const LineRef &ref)
{
    if (ref.offset < 0)
        return QByteArray();
    const QByteArray line = content.mid(ref.offset, ref.length);
    const QByteArray closing = ChatHistory::tailClosing(line);
    return line + (closing.isEmpty() ? QByteArray("\n") : closing);
}

// Only the lines needed go through QSettings, which decodes them exactly as it would in the
// whole file, but without merging every section of a long history. QSettings reads files, so
// each excerpt gets one of its own: it keeps what it parsed per file name, and would take a
// rewritten file of the same size and time for the one it read before. The excerpt holds
// conversation text, so it stays in the user's own data directory where it can.
bool writeExcerpt(QTemporaryFile *file, const QString &directory, const QByteArray &text)
{
    file->setFileTemplate(directory + QStringLiteral("/.excerpt-XXXXXX.ini"));
    if (!file->open()) {
        // A read-only data directory still shows its history.
        file->setFileTemplate(QDir::tempPath() + QStringLiteral("/zm-excerpt-XXXXXX.ini"));
        if (!file->open())
            return false;
    }
    return file->write(text) == text.size() && file->flush();
}

} // namespace

ChatHistory::Loaded ChatHistory::load(const QString &ownName, const QString &contactName,
                                      const QString &unknownText) const
{
    Loaded result;
    QFile file(m_fileName);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    const QByteArray content = file.readAll();
    file.close();
    const ScannedFile scanned = scan(content);

    const QString directory = QFileInfo(m_fileName).absolutePath();
    QTemporaryFile chatExcerpt;
    if (!writeExcerpt(&chatExcerpt, directory,
                      QByteArrayLiteral("[Chat]\n") + lineOf(content, scanned.lastFrom)
                          + lineOf(content, scanned.lastId)))
        return result;
    {
        QSettings chat(chatExcerpt.fileName(), QSettings::IniFormat);
        result.lastSpeaker = chat.value(QStringLiteral("Chat/LastMessageFrom")).toString();
        // A counter beyond any real conversation means a damaged file; bounding it keeps the
        // loops below and the next message number from overflowing.
        result.lastId = qBound(0, chat.value(QStringLiteral("Chat/LastMessageID"), 0).toInt(), MaxMessageId);
    }
    result.firstId = result.lastId > ShownBefore ? result.lastId - ShownBefore : 1;

    QByteArray messages = QByteArrayLiteral("[Messages]\n");
    for (int i = result.firstId; i <= result.lastId; ++i)
        messages += lineOf(content, scanned.messages.value(i));
    QTemporaryFile messagesExcerpt;
    if (!writeExcerpt(&messagesExcerpt, directory, messages))
        return result;

    QSettings history(messagesExcerpt.fileName(), QSettings::IniFormat);
    history.beginGroup(QStringLiteral("Messages"));
    for (int i = result.firstId; i <= result.lastId; ++i) {
        const QStringList entry = history.value(QStringLiteral("Message") + QString::number(i)).toStringList();
        QString markup = entry.size() > 2 ? entry.at(0) : QString();
        if (i == result.firstId && entry.size() > 2 && entry.at(2) == QLatin1String("false"))
            markup.prepend(blockHeader(entry.at(1), ownName, contactName, unknownText));
        result.markups.append(markup);
    }
    return result;
}

namespace {

// The letter escape QSettings writes for a control character, if it has one.
const char *controlEscape(ushort ch)
{
    switch (ch) {
    case '\a':
        return "\\a";
    case '\b':
        return "\\b";
    case '\f':
        return "\\f";
    case '\n':
        return "\\n";
    case '\r':
        return "\\r";
    case '\t':
        return "\\t";
    case '\v':
        return "\\v";
    default:
        return nullptr;
    }
}

} // namespace

QByteArray ChatHistory::iniValue(const QString &value)
{
    // QSettings marks strings that begin with "@" by doubling it, so they are not read as a
    // typed value such as "@Invalid()", and wraps strings holding NUL characters.
    QString str = value;
    if (str.contains(QChar(0)))
        str = QLatin1String("@String(") + str + QLatin1Char(')');
    else if (str.startsWith(QLatin1Char('@')))
        str.prepend(QLatin1Char('@'));
    QByteArray result;
    result.reserve(str.size() + str.size() / 2);
    bool needsQuotes = false;
    bool escapeNextIfDigit = false;
    for (const QChar qc : str) {
        const ushort ch = qc.unicode();
        if (ch == ';' || ch == ',' || ch == '=')
            needsQuotes = true;
        if (escapeNextIfDigit && ((ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F'))) {
            result += "\\x" + QByteArray::number(ch, 16);
            continue;
        }
        escapeNextIfDigit = false;
        if (ch == '\0') {
            result += "\\0";
            escapeNextIfDigit = true;
        } else if (const char *escape = controlEscape(ch)) {
            result += escape;
        } else if (ch == '"' || ch == '\\') {
            result += '\\';
            result += char(ch);
        } else if (ch <= 0x1F || ch >= 0x7F) {
            result += "\\x" + QByteArray::number(ch, 16);
            escapeNextIfDigit = true;
        } else {
            result += char(ch);
        }
    }
    if (needsQuotes || (!result.isEmpty() && (result.startsWith(' ') || result.endsWith(' ')))) {
        result.prepend('"');
        result += '"';
    }
    return result;
}

QByteArray ChatHistory::iniValue(const QStringList &values)
{
    if (values.isEmpty())
        return QByteArrayLiteral("@Invalid()");
    QByteArray result;
    for (int i = 0; i < values.size(); ++i) {
        if (i != 0)
            result += ", ";
        result += iniValue(values.at(i));
    }
    return result;
}

QByteArray ChatHistory::appendBlock(int id, const QString &markup, const QString &speaker, bool startsBlock)
{
    // The message comes first so that "LastMessageID" never names a message that is not there.
    QByteArray block = QByteArrayLiteral("[Messages]\nMessage") + QByteArray::number(id) + '='
        + iniValue(QStringList{markup, speaker, startsBlock ? QStringLiteral("true") : QStringLiteral("false")})
        + QByteArrayLiteral("\n[Chat]\nLastMessageFrom=") + iniValue(speaker) + QByteArrayLiteral("\nLastMessageID=")
        + QByteArray::number(id) + '\n';
    return block;
}

QByteArray ChatHistory::tailClosing(const QByteArray &content)
{
    bool inQuotes = false;
    bool inComment = false;
    bool escapeAtEnd = false;
    const int size = content.size();
    for (int i = 0; i < size; ++i) {
        const char ch = content.at(i);
        if (inComment) {
            inComment = ch != '\n' && ch != '\r';
        } else if (ch == '\\') {
            // The escaped character is skipped, line feeds included: they continue the line.
            if (i + 1 < size)
                ++i;
            else
                escapeAtEnd = true;
        } else if (ch == '"') {
            inQuotes = !inQuotes;
        } else if (ch == ';' && !inQuotes) {
            inComment = true;
        }
    }
    QByteArray closing;
    if (escapeAtEnd)
        closing += '\n';
    if (inQuotes)
        closing += '"';
    // A line feed even after a lone carriage return, which QSettings takes for a line end but
    // this program's own reading of the file does not.
    if (!closing.isEmpty() || (!content.isEmpty() && !content.endsWith('\n')))
        closing += '\n';
    // A backslash at the end of the last line continues it onto the next one, for this
    // program's reading even where QSettings sees an escaped backslash or a comment; an empty
    // line ends it for both.
    const QByteArray closed = content + closing;
    int last = closed.size() - 2;
    while (last >= 0 && closed.at(last) == '\r')
        --last;
    if (last >= 0 && closed.at(last) == '\\')
        closing += '\n';
    return closing;
}

bool ChatHistory::append(int id, const QString &markup, const QString &speaker, bool startsBlock)
{
    DataDirectory::ensureDirectory(QFileInfo(m_fileName).absolutePath());
    QFile file(m_fileName);
    // Unbuffered, so a failed write is seen at once and the file can be cut back.
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered)) {
        qWarning() << "Cannot write chat history" << m_fileName << file.errorString();
        return false;
    }
    const qint64 oldSize = file.size();
    if (oldSize == 0)
        DataDirectory::protectFile(file);
    QByteArray block = appendBlock(id, markup, speaker, startsBlock);
    if (oldSize > 0) {
        // A file that ends inside a line (edited by hand, or cut short by a crash or a full
        // disk) must not swallow the sections that follow: an open quoted value would hide
        // every later message. The whole file is looked at once; after that it ends with a
        // block written here, and only its last character needs a look.
        if (!m_tailChecked && file.seek(0)) {
            block.prepend(tailClosing(file.readAll()));
        } else {
            char last = '\n';
            if (file.seek(oldSize - 1) && file.getChar(&last) && last != '\n')
                block.prepend('\n');
        }
    }
    if (file.write(block) != block.size() || !file.flush()) {
        qWarning() << "Cannot write chat history" << m_fileName << file.errorString();
        if (!file.resize(oldSize))
            qWarning() << "Cannot cut back chat history" << m_fileName << file.errorString();
        return false;
    }
    m_tailChecked = true;
    return true;
}
