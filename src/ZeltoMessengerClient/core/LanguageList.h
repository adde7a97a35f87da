#ifndef LANGUAGELIST_H
#define LANGUAGELIST_H

#include <QList>
#include <QString>

// Finds the client translation catalogues ("zm_" + code + ".qm") a directory offers and
// describes their languages for the "Change Language" menu.
namespace LanguageList {

struct Entry {
    QString code; // "de"
    QString nativeName; // "Deutsch"
    QString englishName; // "German"
    QString flagResource; // ":/tr/de.png", empty when the resources have no flag for the code
    QString menuText() const { return nativeName + QStringLiteral(" (") + englishName + QLatin1Char(')'); }
};

// "zm_de.qm" gives "de".
QString catalogueCode(const QString &fileName);
// Lists the catalogues of the directory (":/tr" or the add-on directory), keeping those that
// load and whose code names a language Qt knows; every step goes to the debug log.
QList<Entry> scan(const QString &directory);
// The built-in catalogues, then those of the add-on directory, each language once; English,
// the language of the program's own texts, is left to the caller.
QList<Entry> available(const QString &addOnDirectory);
// Makes code ("System", "en", "de") the language of the next start. The settings are on disk
// when this returns: a new instance started right after reads them at once.
void storeChoice(const QString &code);

} // namespace LanguageList

#endif
