#include "LabelButton.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QLabel>
#include <QSet>
#include <QTextBlock>
#include <QTextDocument>

namespace {

class LabelButtonAccessible : public QAccessibleWidget
{
public:
    explicit LabelButtonAccessible(QLabel *label)
        : QAccessibleWidget(label, QAccessible::Button)
    {}

    QString text(QAccessible::Text t) const override
    {
        const QString own = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && own.isEmpty())
            return static_cast<QLabel *>(widget())->text();
        return own;
    }

    QStringList actionNames() const override { return QStringList(pressAction()); }

    void doAction(const QString &actionName) override
    {
        if (actionName != pressAction() || !widget()->isEnabled())
            return;
        if (auto *button = widget()->findChild<LabelButton *>(QString(), Qt::FindDirectChildrenOnly))
            button->press();
    }
};

QAccessibleInterface *labelButtonFactory(const QString &, QObject *object)
{
    auto *label = qobject_cast<QLabel *>(object);
    if (label && label->findChild<LabelButton *>(QString(), Qt::FindDirectChildrenOnly))
        return new LabelButtonAccessible(label);
    return nullptr;
}

bool isPressKey(const QKeyEvent *key)
{
    const bool pressKey = key->key() == Qt::Key_Space || key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    return pressKey && !(key->modifiers() & ~Qt::KeypadModifier);
}

QSet<QString> linksOf(const QString &richText)
{
    QTextDocument document;
    document.setHtml(richText);
    QSet<QString> links;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().isAnchor())
                links.insert(it.fragment().charFormat().anchorHref());
        }
    }
    return links;
}

} // namespace

LabelButton::LabelButton(QLabel *label, std::function<void()> press)
    : QObject(label)
    , m_press(std::move(press))
{}

void LabelButton::attach(QLabel *label, std::function<void()> press)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(labelButtonFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    label->installEventFilter(new LabelButton(label, std::move(press)));
    label->setFocusPolicy(Qt::StrongFocus);
}

bool LabelButton::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    if (!isPressKey(static_cast<QKeyEvent *>(event)))
        return QObject::eventFilter(watched, event);
    if (static_cast<QWidget *>(watched)->isEnabled())
        press();
    return true;
}

void SingleLinkKeys::attach(QLabel *label)
{
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    label->installEventFilter(new SingleLinkKeys(label));
}

bool SingleLinkKeys::eventFilter(QObject *watched, QEvent *event)
{
    auto *label = static_cast<QLabel *>(watched);
    // A link picked out with Tab is followed by the label itself.
    if (event->type() != QEvent::KeyPress || !isPressKey(static_cast<QKeyEvent *>(event)) || label->hasSelectedText())
        return QObject::eventFilter(watched, event);
    const QSet<QString> links = linksOf(label->text());
    if (links.size() != 1)
        return QObject::eventFilter(watched, event);
    emit label->linkActivated(*links.begin());
    return true;
}
