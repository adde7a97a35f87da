#ifndef TESTCONTROL_H
#define TESTCONTROL_H

// A control channel for the end-to-end tests, linked in only with ZM_TEST_HOOKS: a local
// socket named by the environment variable ZM_TEST_CONTROL over which the test drives the real
// windows (click, type, read texts, answer dialogs) with one JSON object per line.
// ZM_TEST_WATCHDOG_MS shortens the main window's watchdog period, so that a test need not wait
// out the real one.
namespace TestControl {

// Starts listening when ZM_TEST_CONTROL is set.
void startFromEnvironment();

} // namespace TestControl

#endif
