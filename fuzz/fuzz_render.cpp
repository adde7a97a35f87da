// Rendering of one line pushed by the server into the client's incoming-object text.
#include "fuzzsupport.h"
#include "zmsgfwwire.h"

#include <QStringList>

using namespace ZMsgFwWire;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::installQuietHandler();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray line = FuzzSupport::bytes(data, size);
    const QString object = renderIncomingObject(line);
    if (object.isEmpty())
        return 0;

    const QStringList words = splitWords(decodeLine(line));
    FUZZ_CHECK(words.size() >= 2 && words.at(0) == QLatin1String("ZM/1.1"));
    if (object.startsWith(QLatin1String("ReturnIntialize<>"))) {
        // No value may smuggle in the separator: one part per word, each free of "<" and ">".
        const QStringList parts = object.split(QStringLiteral("<>"));
        FUZZ_CHECK(parts.size() == words.size() + 1);
        for (int i = 1; i < parts.size(); ++i) {
            FUZZ_CHECK(!parts.at(i).contains(QLatin1Char('<')) && !parts.at(i).contains(QLatin1Char('>')));
            FUZZ_CHECK(parts.at(i) == convertObjectWord(words.at(i - 1)));
        }
        FUZZ_CHECK(words.at(1) == QLatin1String("return") || words.at(1) == QLatin1String("notification"));
    } else if (object.startsWith(QLatin1String("MessageFromUser<>"))) {
        FUZZ_CHECK(words.at(1) == QLatin1String("message"));
        FUZZ_CHECK(object.endsWith(QLatin1Char('\n')));
        FUZZ_CHECK(object.contains(QLatin1String(": ")));
    } else {
        FUZZ_CHECK(object.startsWith(QLatin1String("PokeFromUser<>")));
        FUZZ_CHECK(words.at(1) == QLatin1String("poke"));
        FUZZ_CHECK(object.endsWith(QLatin1Char('\n')) && object.size() > 15);
    }
    return 0;
}
