#ifndef LANGUAGEMENU_H
#define LANGUAGEMENU_H

#include <QList>
#include <QMap>
#include <QString>

class QAction;
class QIcon;
class QMenu;

// The entries of the "Change Language" menu and the language tables behind them: native
// name and code both ways, and the entry of each code.
class LanguageMenu
{
public:
    // Adds "System", "English" and one entry per catalogue built in or found in
    // translationDir; returns the entries, each carrying its code.
    QList<QAction *> fill(QMenu *menu, const QString &translationDir);
    // Empties the tables and deletes (deferred) the entries.
    void clear();
    // The code an entry stands for; empty for anything else.
    QString codeOf(QAction *action) const;

private:
    QAction *addEntry(QMenu *menu, const QString &text, const QString &code, const QIcon &icon);

    QMap<QString, QString> languageNames;
    QMap<QString, QAction *> languageActions;
};

#endif
