// Dispatch of incoming objects into contact, avatar and request entries, as the main window
// does it, without a display. Every input is tried as an incoming object and as a wire line;
// then the same bytes describe a contact list that must survive the trip through the server's
// list escaping, the wire and the client's parsing unchanged.
#include "IncomingObject.h"
#include "MessageFormat.h"
#include "fuzzsupport.h"
#include "zmsgfwwire.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QStringList>

using namespace IncomingObject;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::installQuietHandler();
    return 0;
}

static bool isWholeUtf8(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

static void dispatch(const QString &object)
{
    QStringList parts;
    const Mode mode = modeOf(object, &parts);
    if (mode == Mode::Empty)
        return;
    FUZZ_CHECK(!parts.isEmpty());
    if (mode == Mode::Message) {
        Message message;
        if (!parseMessage(object, parts, &message))
            return;
        FUZZ_CHECK(!message.sender.trimmed().isEmpty() && !message.text.isEmpty());
        const QByteArray decoded = MessageFormat::decodeEntities(message.text);
        const QByteArray popup = cutPopupBytes(decoded);
        FUZZ_CHECK(popup.size() <= 25);
        if (isWholeUtf8(decoded))
            FUZZ_CHECK(isWholeUtf8(popup));
        MessageFormat::formatMessage(MessageFormat::escapeHtml(QString::fromUtf8(popup)));
        return;
    }
    if (mode != Mode::Return)
        return;
    const ReturnFields fields = parseReturn(parts);
    const Branch branch = branchOf(fields);
    for (const QString &entry : userListEntries(fields.users)) {
        FUZZ_CHECK(!entry.isEmpty() && !entry.contains(QLatin1Char('\n')));
        if (branch == Branch::ContactsWithStates) {
            ContactEntry contact;
            if (parseContactEntry(entry, &contact)) {
                FUZZ_CHECK(stateName(contact.state) != nullptr);
                FUZZ_CHECK(stateIconPath(contact.state).startsWith(QLatin1String(":/img/")));
                MessageFormat::decodeEntities(contact.status);
                MessageFormat::escapeName(contact.nick);
            }
        } else if (branch == Branch::ContactsWithAvatar) {
            AvatarEntry avatar;
            parseAvatarEntry(entry, &avatar);
        } else {
            parseRequestEntry(entry);
        }
    }
    FUZZ_CHECK(ownStateIconPath(fields.state).startsWith(QLatin1String(":/img/")));
    FUZZ_CHECK(stateNotificationImage(fields.state).startsWith(QLatin1String(":/img/")));
}

struct Contact {
    QString user;
    QString nick;
    QString status;
    int state;
};

// Fields a server can hold: names and status texts never contain line breaks.
static QString fieldFrom(FuzzedDataProvider &provider)
{
    QString text = QString::fromUtf8(QByteArray::fromStdString(provider.ConsumeRandomLengthString(40)));
    text.remove(QLatin1Char('\n'));
    text.remove(QLatin1Char('\r'));
    return text;
}

static void contactListRoundTrip(FuzzedDataProvider &provider)
{
    QList<Contact> contacts;
    const int count = provider.ConsumeIntegralInRange<int>(1, 8);
    for (int i = 0; i < count && provider.remaining_bytes() > 0; ++i) {
        Contact contact{fieldFrom(provider), fieldFrom(provider), fieldFrom(provider),
                        provider.ConsumeIntegralInRange<int>(-3, 12)};
        if (contact.user.isEmpty())
            continue;
        contacts << contact;
    }
    if (contacts.isEmpty())
        return;

    QStringList entries;
    for (const Contact &c : contacts) {
        entries << QStringList{ZMsgFwWire::escapeListField(c.user), ZMsgFwWire::escapeListField(c.nick),
                               ZMsgFwWire::escapeListField(c.status), QString::number(c.state)}
                       .join(QLatin1Char('|'));
    }
    ZMsgFwWire::LineBuilder line(QStringLiteral("return"));
    line.raw(QStringLiteral("--rq="), QStringLiteral("contactswithstates"))
        .number(QStringLiteral("--id="), 200)
        .text(QStringLiteral("--users="), entries.join(QStringLiteral("<>")));
    FUZZ_CHECK(line.isValid());

    const QString object = ZMsgFwWire::renderIncomingObject(line.toBytes());
    QStringList parts;
    FUZZ_CHECK(modeOf(object, &parts) == Mode::Return);
    const ReturnFields fields = parseReturn(parts);
    FUZZ_CHECK(branchOf(fields) == Branch::ContactsWithStates);
    const QStringList received = userListEntries(fields.users);
    FUZZ_CHECK(received.size() == contacts.size());
    for (int i = 0; i < received.size(); ++i) {
        ContactEntry entry;
        // An entry without a usable account name is refused, never half taken.
        if (!isAccountName(contacts.at(i).user)) {
            FUZZ_CHECK(!parseContactEntry(received.at(i), &entry));
            continue;
        }
        FUZZ_CHECK(parseContactEntry(received.at(i), &entry));
        FUZZ_CHECK(entry.user == contacts.at(i).user);
        FUZZ_CHECK(entry.nick == contacts.at(i).nick);
        FUZZ_CHECK(entry.status == contacts.at(i).status);
        FUZZ_CHECK(entry.state == contacts.at(i).state);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray raw = FuzzSupport::bytes(data, size);
    dispatch(QString::fromUtf8(raw));
    dispatch(ZMsgFwWire::renderIncomingObject(raw));
    FuzzedDataProvider provider(data, size);
    contactListRoundTrip(provider);
    return 0;
}
