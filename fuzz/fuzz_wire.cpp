// Word splitting, argument reading and value escaping of protocol lines.
#include "fuzzsupport.h"
#include "zmsgfwwire.h"

#include <QStringList>

using namespace ZMsgFwWire;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::installQuietHandler();
    return 0;
}

static void checkLine(const QByteArray &raw)
{
    const QString line = decodeLine(raw);
    const QStringList words = splitWords(line);
    FUZZ_CHECK(!words.isEmpty());
    FUZZ_CHECK(words.join(QLatin1Char(' ')) == line);

    static const char *const keys[] = {"--id=",    "--rq=",  "--at=",     "--users=", "--username=", "--message=",
                                       "--state=", "--mid=", "--length=", "--nick=",  "--image=",    "--avatar="};
    for (const char *key : keys) {
        bool found = false;
        const QString value = argumentValue(words, QLatin1String(key), &found);
        FUZZ_CHECK(found || value.isEmpty());
        FUZZ_CHECK(!value.contains(QLatin1Char(' ')));
        bool numberFound = false;
        const int number = integerArgument(words, QLatin1String(key), -7, &numberFound);
        FUZZ_CHECK(numberFound == found);
        FUZZ_CHECK(found || number == -7);
    }
    const bool isReturn =
        words.size() >= 3 && words.at(0) == QLatin1String("ZM/1.1") && words.at(1) == QLatin1String("return");
    FUZZ_CHECK(isReturnLine(words) == isReturn);
}

static void checkValue(const QString &value)
{
    const QString escaped = escapeValue(value);
    FUZZ_CHECK(!escaped.contains(QLatin1Char(' ')));
    FUZZ_CHECK(unescapeValue(escaped) == value);

    const QString field = escapeListField(value);
    FUZZ_CHECK(!field.contains(QLatin1Char('|')) && !field.contains(QLatin1Char('<'))
               && !field.contains(QLatin1Char('>')));
    FUZZ_CHECK(unescapeListField(field) == value);

    const bool writable = !value.contains(QLatin1Char('\r')) && !value.contains(QLatin1Char('\n'));
    FUZZ_CHECK(isWritableValue(value) == writable);

    LineBuilder builder(QStringLiteral("action"));
    builder.text(QStringLiteral("--message="), value).number(QStringLiteral("--id="), 5);
    FUZZ_CHECK(builder.isValid() == writable);
    if (!writable)
        return;
    // Whatever the value holds, it travels as one argument and cannot add a line or a word.
    const QByteArray bytes = builder.toBytes();
    FUZZ_CHECK(bytes.endsWith('\n'));
    FUZZ_CHECK(bytes.count('\n') == 1 && !bytes.contains('\r'));
    const QStringList words = splitWords(decodeLine(bytes));
    FUZZ_CHECK(words.size() == 4);
    FUZZ_CHECK(unescapeValue(argumentValue(words, QStringLiteral("--message="))) == value);
    FUZZ_CHECK(integerArgument(words, QStringLiteral("--id=")) == 5);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray raw = FuzzSupport::bytes(data, size);
    checkLine(raw);
    checkValue(QString::fromUtf8(raw));
    return 0;
}
