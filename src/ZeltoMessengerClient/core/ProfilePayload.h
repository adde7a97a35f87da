#ifndef PROFILEPAYLOAD_H
#define PROFILEPAYLOAD_H

#include <QList>
#include <QMap>
#include <QString>

// One map per connected client of an account ("system", "version", "ip", ...), in record order.
using ClientList = QList<QMap<QString, QString>>;

// The parts of a profile info payload the dialogs show.
struct ProfileInfo {
    QString contacts;
    QString signature;
    ClientList clients;
    // Records beyond the ones kept in clients; they are counted but not listed.
    int droppedClients = 0;
};

namespace ProfilePayload {

// A payload comes from another party through the server, so it is bounded before anything
// is shown: at most this many client records are kept and every key and value is cut to
// MaxValueLength characters.
constexpr int MaxClients = 64;
constexpr int MaxValueLength = 256;

// True when the reply of getUserProfileInfo is a failure text instead of a payload.
bool isFailure(const QString &reply);

// Splits "key&splt;value" entries separated by "&nxve;"; malformed entries are skipped.
ProfileInfo parse(const QString &payload);
// Splits the "accas" value into client maps.
ClientList parseClients(const QString &accas, int *dropped = nullptr);

// Text of the "Clients" information box: the heading, then one line per client with its
// system, version and address parts joined by ", ". The three words come translated.
QString clientsText(const QString &heading, const ClientList &clients, const QString &systemWord,
                    const QString &versionWord, const QString &ipWord);

} // namespace ProfilePayload

#endif
