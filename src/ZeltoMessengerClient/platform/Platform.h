#ifndef PLATFORM_H
#define PLATFORM_H

#include <QString>

#include <functional>

// What the client needs from the desktop it runs on: the start-with-system entry, the
// protection of the settings file and a playable copy of the incoming-message sound.
namespace Platform {

// The XDG autostart entry that starts the program with the session.
QString autostartFilePath();
// Contents of the autostart entry for the given program path, passing "--minimized".
QString autostartEntry(const QString &programPath);
// Quotes one argument for the Exec key of a desktop entry.
QString desktopExecArgument(const QString &argument);
bool writeAutostartEntry(const QString &programPath);
bool removeAutostartEntry();
bool hasAutostartEntry();

// The settings hold the remembered password: the file is created and kept readable by its
// owner only. Call before writing settings; later writes keep the mode.
bool protectSettingsFile();
QString settingsFilePath();

// The incoming-message sound as a file that QSound can play: "ChatIn.wav" in the program
// directory when it is shipped there, else a copy of the built-in sound in the user's data
// directory, made (readable by the user only) when missing. Nothing is ever written beside
// the program or into the working directory. Empty when no copy could be made.
QString chatInSoundFile(const QString &programDir, const QString &userDataDir);

// Starts a new instance of the program (detached, no arguments). Tests replace the start
// with a hook of their own.
bool restartProgram();
void setRestartHook(std::function<bool()> hook);
// Tells the application to leave its event loop with code 0. Tests replace it: an exit
// requested outside a running loop would end every later local loop at once.
void quitApplication();
void setQuitHook(std::function<void()> hook);
// A new instance, then this one quits: the one way the program restarts itself.
void restartApplication();

} // namespace Platform

#endif
