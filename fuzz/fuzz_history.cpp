// Chat history files: reading whatever a history file holds, and the hand-written INI value
// escaping that appends messages, which must read back through QSettings unchanged.
#include "ChatHistory.h"
#include "fuzzsupport.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

namespace {

QTemporaryDir *home = nullptr;
quint64 serial = 0;

// QSettings caches files by name, so every run uses names of its own.
QString nextUser()
{
    return QStringLiteral("contact%1").arg(++serial);
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(bytes) == bytes.size());
}

QString textFrom(FuzzedDataProvider &provider)
{
    return QString::fromUtf8(QByteArray::fromStdString(provider.ConsumeRandomLengthString(200)));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::installQuietHandler();
    home = new QTemporaryDir;
    qputenv("HOME", home->path().toUtf8());
    QDir().mkpath(home->path() + QStringLiteral("/.zmsg"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = FuzzSupport::bytes(data, size);

    // Any file content loads into a bounded list.
    ChatHistory stored(nextUser());
    writeFile(stored.fileName(), bytes);
    const ChatHistory::Loaded loaded = stored.load(QStringLiteral("me"), QStringLiteral("you"), QStringLiteral("?"));
    FUZZ_CHECK(loaded.markups.size() <= ChatHistory::ShownBefore + 1);
    FUZZ_CHECK(loaded.lastId >= 0);

    // A message appended to that file is the newest one read back, whatever came before.
    FuzzedDataProvider provider(data, size);
    const int id = provider.ConsumeIntegralInRange<int>(1, 1000000);
    const QString markup = textFrom(provider);
    const QString speaker = provider.ConsumeBool() ? QStringLiteral("You") : textFrom(provider);
    // (Read back the way the chat window reads it: QSettings over a whole damaged file has
    // quirks of its own, such as a "[Chat/]" section hiding the later "[Chat]" values.)
    if (stored.append(id, markup, speaker, true)) {
        const ChatHistory::Loaded reread =
            stored.load(QStringLiteral("me"), QStringLiteral("you"), QStringLiteral("?"));
        FUZZ_CHECK(reread.lastId == id);
        FUZZ_CHECK(reread.lastSpeaker == speaker);
        FUZZ_CHECK(!reread.markups.isEmpty() && reread.markups.last() == markup);
    }
    QFile::remove(stored.fileName());

    // The escaping alone, on a fresh file: exactly what was written comes back.
    ChatHistory fresh(nextUser());
    writeFile(fresh.fileName(), ChatHistory::appendBlock(id, markup, speaker, false));
    {
        QSettings reread(fresh.fileName(), QSettings::IniFormat);
        FUZZ_CHECK(reread.value(QStringLiteral("Chat/LastMessageFrom")).toString() == speaker);
        FUZZ_CHECK(reread.value(QStringLiteral("Messages/Message%1").arg(id)).toStringList()
                   == (QStringList{markup, speaker, QStringLiteral("false")}));
    }
    QFile::remove(fresh.fileName());
    return 0;
}
