#include "ActionResult.h"

#include <QCoreApplication>

namespace ActionResult {

Kind classify(int code)
{
    switch (code) {
    case 200:
        return Kind::Done;
    case 501:
        return Kind::NotSent;
    case 500:
    case 601:
        return Kind::NoAnswer;
    case 400:
        return Kind::Refused;
    case 429:
        return Kind::TooMany;
    default:
        return Kind::Other;
    }
}

QString explanation(int code, const QString &valueRule)
{
    switch (classify(code)) {
    case Kind::Done:
        return QString();
    case Kind::NotSent:
        return QCoreApplication::translate("ActionResult",
                                           "The connection to the server is lost, so nothing was sent. Please try "
                                           "again when you are online.");
    case Kind::NoAnswer:
        return QCoreApplication::translate("ActionResult", "The server did not answer in time. Please try again.");
    case Kind::Refused:
        if (!valueRule.isEmpty())
            return QCoreApplication::translate("ActionResult", "The server did not accept the value: %1")
                .arg(valueRule);
        return QCoreApplication::translate("ActionResult", "The server did not accept the value.");
    case Kind::TooMany:
        return QCoreApplication::translate("ActionResult",
                                           "There were too many changes in a short time. Please wait a minute and "
                                           "try again.");
    case Kind::Other:
        break;
    }
    return QCoreApplication::translate("ActionResult", "The server refused the change.");
}

} // namespace ActionResult
