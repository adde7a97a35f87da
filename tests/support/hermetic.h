#ifndef HERMETIC_H
#define HERMETIC_H

#include <QTemporaryDir>
#include <QtTest>

// Gives every test process a fresh HOME and XDG directories of its own, so settings,
// history and caches never touch the user's real data, and removes them afterwards.
class HermeticEnvironment
{
public:
    HermeticEnvironment();
    QString home() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

#define ZM_HERMETIC_MAIN_BODY(TestObject, AppClass)                                                                    \
    int main(int argc, char *argv[])                                                                                   \
    {                                                                                                                  \
        HermeticEnvironment hermetic;                                                                                  \
        AppClass app(argc, argv);                                                                                      \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                                       \
        /* The program finds its sound module beside itself; a test finds it here. */                                  \
        QCoreApplication::addLibraryPath(QStringLiteral(ZM_TEST_SOUND_MODULE_DIR));                                    \
        TestObject tc;                                                                                                 \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        return QTest::qExec(&tc, argc, argv);                                                                          \
    }

#define ZM_HERMETIC_TEST_MAIN(TestObject) ZM_HERMETIC_MAIN_BODY(TestObject, QApplication)
#define ZM_HERMETIC_GUILESS_TEST_MAIN(TestObject) ZM_HERMETIC_MAIN_BODY(TestObject, QCoreApplication)

#endif
