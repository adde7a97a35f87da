#include "zvrtextbrowser.h"

#include <QDesktopServices>
#include <QHash>

namespace {

// The flag lives outside the object so that the class keeps its base class's layout.
QHash<const ZVRTextBrowser *, bool> &openFlags()
{
    static QHash<const ZVRTextBrowser *, bool> flags;
    return flags;
}

// Links in chat text come from other people: only web and mail links go to the desktop's
// handler, never file:, executable or custom schemes.
bool isSafeExternalScheme(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("ftp")
        || scheme == QLatin1String("mailto");
}

} // namespace

ZVRTextBrowser::ZVRTextBrowser(QWidget *parent)
    : QTextBrowser(parent)
{
    // A new widget at the address of a destroyed one must not inherit its flag.
    openFlags().remove(this);
}

ZVRTextBrowser::~ZVRTextBrowser()
{
    openFlags().remove(this);
}

void ZVRTextBrowser::setOpenAutoBrowser(bool open)
{
    openFlags()[this] = open;
}

bool ZVRTextBrowser::openAutoBrowser()
{
    auto it = openFlags().find(this);
    if (it == openFlags().end())
        it = openFlags().insert(this, false);
    return it.value();
}

void ZVRTextBrowser::setSource(const QUrl &url)
{
    if (openAutoBrowser() && isSafeExternalScheme(url))
        QDesktopServices::openUrl(url);
    emit sourceChanged(url);
}
