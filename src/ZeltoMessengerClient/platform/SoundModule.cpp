// The module Sound loads with the first sound; it alone links Qt's multimedia libraries.
#include <QSound>
#include <QtGlobal>

extern "C" Q_DECL_EXPORT void zmPlaySound(const QString &file)
{
    QSound::play(file);
}
