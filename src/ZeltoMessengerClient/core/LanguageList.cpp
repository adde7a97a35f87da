#include "LanguageList.h"

#include "AppSettings.h"
#include "Platform.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTranslator>

namespace LanguageList {

QString catalogueCode(const QString &fileName)
{
    QString code = fileName;
    if (code.startsWith(QLatin1String("zm_")))
        code.remove(0, 3);
    if (code.endsWith(QLatin1String(".qm")))
        code.chop(3);
    return code;
}

QList<Entry> scan(const QString &directory)
{
    QList<Entry> entries;
    const QStringList files = QDir(directory).entryList(QStringList() << QStringLiteral("zm_*.qm"), QDir::Files);
    for (const QString &file : files) {
        qDebug().noquote() << QLatin1String("Language ") + file + QLatin1String(" found");
        QTranslator translator;
        if (!translator.load(directory + QLatin1Char('/') + file)) {
            qDebug().noquote() << QLatin1String("Language ") + file + QLatin1String(" load failed");
            continue;
        }
        qDebug().noquote() << QLatin1String("Language ") + file + QLatin1String(" loaded");
        Entry entry;
        entry.code = catalogueCode(file);
        const QLocale locale(entry.code);
        entry.nativeName = locale.nativeLanguageName();
        entry.englishName = QLocale::languageToString(locale.language());
        if (entry.nativeName.isEmpty()) {
            qDebug().noquote() << QLatin1String("Language ") + file + QLatin1String(" not detected and add failed");
            continue;
        }
        qDebug().noquote() << QLatin1String("Language ") + file + QLatin1String(" detected as ") + entry.nativeName
                + QLatin1String(" (") + entry.englishName + QLatin1String(")");
        const QString flag = QStringLiteral(":/tr/") + entry.code + QStringLiteral(".png");
        if (QFile::exists(flag))
            entry.flagResource = flag;
        entries.append(entry);
    }
    return entries;
}

QList<Entry> available(const QString &addOnDirectory)
{
    QList<Entry> found = scan(QStringLiteral(":/tr"));
    if (!addOnDirectory.isEmpty())
        found += scan(addOnDirectory);
    QList<Entry> entries;
    QStringList codes = {QStringLiteral("en")};
    for (const Entry &entry : qAsConst(found)) {
        if (codes.contains(entry.code))
            continue;
        codes << entry.code;
        entries << entry;
    }
    return entries;
}

void storeChoice(const QString &code)
{
    Platform::protectSettingsFile();
    QSettings settings = AppSettings::open();
    settings.setValue(QStringLiteral("Interface/Language"), code);
    settings.sync();
}

} // namespace LanguageList
