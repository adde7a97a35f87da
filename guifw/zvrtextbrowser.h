#ifndef ZVRTEXTBROWSER_H
#define ZVRTEXTBROWSER_H

#include "zguifw_export.h"

#include <QTextBrowser>

// A text browser that never follows a clicked link itself: it emits sourceChanged(url) and
// leaves the document alone, and when the open-in-browser flag is set it also hands the link
// to the desktop's default handler (web and mail links only).
class ZGUIFW_EXPORT ZVRTextBrowser : public QTextBrowser
{
    Q_OBJECT
public:
    explicit ZVRTextBrowser(QWidget *parent = nullptr);
    ~ZVRTextBrowser() override;

    void setOpenAutoBrowser(bool open);
    bool openAutoBrowser();

    void setSource(const QUrl &url) override;
};

#endif
