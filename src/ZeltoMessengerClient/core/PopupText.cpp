#include "PopupText.h"

#include "IncomingObject.h"
#include "MessageFormat.h"

namespace PopupText {

QString line(const QByteArray &utf8)
{
    return MessageFormat::escapeHtml(plainLine(utf8));
}

QString plainLine(const QByteArray &utf8)
{
    return QString::fromUtf8(IncomingObject::cutPopupBytes(utf8));
}

QString header(const QString &name)
{
    return QStringLiteral("<span style=\"color: blue;\">") + MessageFormat::escapeName(name)
        + QStringLiteral("</span><br>");
}

} // namespace PopupText
