#include "LanguageMenu.h"

#include "LanguageList.h"

#include <QAction>
#include <QDebug>
#include <QFile>
#include <QMenu>

QList<QAction *> LanguageMenu::fill(QMenu *menu, const QString &translationDir)
{
    QList<QAction *> entries;
    entries << addEntry(menu, QStringLiteral("System (System)"), QStringLiteral("System"), QIcon());
    languageNames.insert(QStringLiteral("System"), QStringLiteral("System"));
    const QString usFlag = QStringLiteral(":/tr/us.png");
    entries << addEntry(menu, QStringLiteral("English (English)"), QStringLiteral("en"),
                        QFile::exists(usFlag) ? QIcon::fromTheme(QStringLiteral("flag-us"), QIcon(usFlag)) : QIcon());
    languageNames.insert(QStringLiteral("English"), QStringLiteral("en"));
    languageNames.insert(QStringLiteral("en"), QStringLiteral("English"));

    const QList<LanguageList::Entry> found = LanguageList::available(translationDir);
    for (const LanguageList::Entry &entry : found) {
        languageNames.insert(entry.code, entry.nativeName);
        languageNames.insert(entry.nativeName, entry.code);
        const QIcon flag = entry.flagResource.isEmpty()
            ? QIcon()
            : QIcon::fromTheme(QStringLiteral("flag-") + entry.code, QIcon(entry.flagResource));
        entries << addEntry(menu, entry.menuText(), entry.code, flag);
        qDebug().noquote() << QStringLiteral("Language zm_%1.qm added").arg(entry.code);
    }
    return entries;
}

QAction *LanguageMenu::addEntry(QMenu *menu, const QString &text, const QString &code, const QIcon &icon)
{
    QAction *action = menu->addAction(icon, text);
    // The same code may have two entries (built in and add-on); each entry carries its code.
    action->setData(code);
    languageActions.insert(code, action);
    return action;
}

void LanguageMenu::clear()
{
    languageNames.clear();
    for (QAction *action : qAsConst(languageActions)) {
        if (action)
            action->deleteLater();
    }
    languageActions.clear();
}

QString LanguageMenu::codeOf(QAction *action) const
{
    if (!action)
        return QString();
    const QString code = action->data().toString();
    return code.isEmpty() ? languageActions.key(action) : code;
}
