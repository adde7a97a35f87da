#ifndef LABELLINK_H
#define LABELLINK_H

#include <QDebug>
#include <QLabel>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextOption>

// Clicks the link of a rich-text label where the label draws it: the label lays its text out
// like a document without margin, in its alignment, wrapped at its width when it wraps, and
// centred vertically.
inline void clickLabelLink(QLabel *label, const QString &href)
{
    QTextDocument document;
    document.setDefaultFont(label->font());
    document.setDocumentMargin(0);
    document.setTextWidth(label->wordWrap() ? label->contentsRect().width() : -1);
    document.setDefaultTextOption(QTextOption(label->alignment()));
    document.setHtml(label->text());
    const QSizeF size = document.size();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isAnchor() || fragment.charFormat().anchorHref() != href)
                continue;
            const int inBlock = fragment.position() - block.position() + fragment.length() / 2;
            const QTextLine line = block.layout()->lineForTextPosition(inBlock);
            const QRect contents = label->contentsRect();
            const int x = contents.left() + int(line.cursorToX(inBlock));
            const int y = contents.top()
                + int((contents.height() - size.height()) / 2 + block.layout()->position().y() + line.y()
                      + line.height() / 2);
            QTest::mouseClick(label, Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
            return;
        }
    }
    qWarning() << "no link" << href << "in" << label->objectName();
}

#endif
