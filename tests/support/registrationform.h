#ifndef REGISTRATIONFORM_H
#define REGISTRATIONFORM_H

#include <QLineEdit>
#include <QList>
#include <QPair>
#include <QString>
#include <QtTest>

// Fills the registration page as a person does: a click into each field, then typing.
inline void typeRegistrationForm(QWidget *window, const QString &userName)
{
    const QList<QPair<const char *, QString>> form = {{"txtRegisterUserName", userName},
                                                      {"txtRegisterShowName", QStringLiteral("New Bie")},
                                                      {"txtRegisterUserMail", QStringLiteral("n@example.org")},
                                                      {"txtRegisterPassword", QStringLiteral("newbie123")},
                                                      {"txtRegisterRepeatPassword", QStringLiteral("newbie123")},
                                                      {"txtRegisterCaptcha", QStringLiteral("abc")}};
    for (const auto &field : form) {
        auto *edit = window->findChild<QLineEdit *>(QLatin1String(field.first));
        QVERIFY2(edit, field.first);
        QTest::mouseClick(edit, Qt::LeftButton);
        QTest::keyClicks(edit, field.second);
    }
}

#endif
