// The profile info payload another user's data arrives in.
#include "ProfilePayload.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::installQuietHandler();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString payload = QString::fromUtf8(FuzzSupport::bytes(data, size));
    if (ProfilePayload::isFailure(payload))
        FUZZ_CHECK(payload.startsWith(QLatin1String("///Error")));

    // The dialog shows whatever the payload holds, so everything it keeps must be bounded.
    const int bounded = ProfilePayload::MaxValueLength + 3; // a cut value ends with "..."
    const ProfileInfo info = ProfilePayload::parse(payload);
    FUZZ_CHECK(info.contacts.size() <= bounded);
    FUZZ_CHECK(info.signature.size() <= bounded);
    FUZZ_CHECK(info.clients.size() <= ProfilePayload::MaxClients);
    FUZZ_CHECK(info.droppedClients >= 0);
    for (const auto &client : info.clients) {
        for (auto it = client.cbegin(); it != client.cend(); ++it)
            FUZZ_CHECK(it.key().size() <= bounded && it.value().size() <= bounded);
    }

    int dropped = -1;
    const ClientList clients = ProfilePayload::parseClients(payload, &dropped);
    FUZZ_CHECK(clients.size() <= ProfilePayload::MaxClients && dropped >= 0);
    const QString text = ProfilePayload::clientsText(QStringLiteral("Clients"), clients, QStringLiteral("System"),
                                                     QStringLiteral("Version"), QStringLiteral("IP"));
    FUZZ_CHECK(text.startsWith(QLatin1String("Clients\n")));
    FUZZ_CHECK(text.size() <= 8 + clients.size() * (1 + 3 * (bounded + 12)));
    return 0;
}
