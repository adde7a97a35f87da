#ifndef LABELBUTTON_H
#define LABELBUTTON_H

#include <QObject>

#include <functional>

class QLabel;

// Lets a label that is drawn as a button act as one from the keyboard and for assistive
// technology: it takes the focus, Space, Return and Enter press it, and screen readers are
// told it is a button that can be pressed.
class LabelButton : public QObject
{
    Q_OBJECT
public:
    static void attach(QLabel *label, std::function<void()> press);
    void press() const { m_press(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    LabelButton(QLabel *label, std::function<void()> press);
    std::function<void()> m_press;
};

// Lets Return, Enter or Space on a focused label with a single link follow that link. Qt's own
// keys pick a link out only after a second Tab inside the label.
class SingleLinkKeys : public QObject
{
    Q_OBJECT
public:
    static void attach(QLabel *label);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    using QObject::QObject;
};

#endif
