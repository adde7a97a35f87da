<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>DesktopNotifications</name>
    <message>
        <source>Open chat</source>
        <translation>Chat öffnen</translation>
    </message>
</context>
<context>
    <name>NotificationWidget</name>
    <message>
        <source>Notification</source>
        <translation>Benachrichtigung</translation>
    </message>
    <message>
        <source>Notification Text</source>
        <translation>Benachrichtigungstext</translation>
    </message>
</context>
<context>
    <name>frmAboutZMPQ</name>
    <message>
        <source>About Zelto Messenger (ZMP)</source>
        <translation>Über Zelto Messenger (ZMP)</translation>
    </message>
    <message>
        <source>&lt;b&gt;Zelto Messenger&lt;/b&gt; by Zelto, Version %1&lt;br/&gt;%2</source>
        <translation>&lt;b&gt;Zelto Messenger&lt;/b&gt; von Zelto, Version %1&lt;br/&gt;%2</translation>
    </message>
    <message>
        <source>&lt;p&gt;An instant messenger for your desktop.&lt;/p&gt;</source>
        <translation>&lt;p&gt;Ein Instant Messenger für Ihren Desktop.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>Build</source>
        <translation>Build</translation>
    </message>
    <message>
        <source>Built on %1 at %2 with %4&lt;br/&gt;Running with Qt %5 on %6</source>
        <translation>Erstellt am %1 um %2 mit %4&lt;br/&gt;Läuft mit Qt %5 auf %6</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>&lt;p&gt;Zelto Messenger keeps you in touch with your contacts: it shows who is online, carries your messages, keeps a history of every conversation and announces what happens while you work.&lt;/p&gt;</source>
        <translation>&lt;p&gt;Zelto Messenger hält Sie mit Ihren Kontakten in Verbindung: Es zeigt, wer online ist, überbringt Ihre Nachrichten, führt einen Verlauf jeder Unterhaltung und meldet, was geschieht, während Sie arbeiten.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>About Zelto Messenger</source>
        <translation>Über Zelto Messenger</translation>
    </message>
</context>
<context>
    <name>frmAboutZelto</name>
    <message>
        <source>About Zelto</source>
        <translation>Über Zelto</translation>
    </message>
    <message>
        <source>config.h -&gt; AboutVendor</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>&lt;b&gt;Zelto&lt;/b&gt;&lt;br/&gt;Zelto is a small team that builds communication software for the desktop. Zelto Messenger is its instant messenger: a light client that lives in the system tray and keeps you in touch with your contacts.</source>
        <translation>&lt;b&gt;Zelto&lt;/b&gt;&lt;br/&gt;Zelto ist ein kleines Team, das Kommunikationssoftware für den Desktop baut. Zelto Messenger ist sein Instant Messenger: ein leichter Client, der im Infobereich lebt und Sie mit Ihren Kontakten in Verbindung hält.</translation>
    </message>
</context>
<context>
    <name>frmChangePassword</name>
    <message>
        <source>Change password</source>
        <translation>Passwort ändern</translation>
    </message>
    <message>
        <source>Fill out to change your password</source>
        <translation>Ausfüllen, um Ihr Passwort zu ändern</translation>
    </message>
    <message>
        <source>Old password:</source>
        <translation>Altes Passwort:</translation>
    </message>
    <message>
        <source>New password:</source>
        <translation>Neues Passwort:</translation>
    </message>
    <message>
        <source>Repeat new pw:</source>
        <translation>Neues PW wiederholen:</translation>
    </message>
    <message>
        <source>Change</source>
        <translation>Ändern</translation>
    </message>
    <message>
        <source>The passwords don't match!</source>
        <translation>Die Passwörter stimmen nicht überein!</translation>
    </message>
    <message>
        <source>The new password is shorter than %1 bytes!</source>
        <translation>Das neue Passwort ist kürzer als %1 Bytes!</translation>
    </message>
    <message>
        <source>The new password is not the same in trimmed and not trimmed form!</source>
        <translation>Das neue Passwort hat Leerzeichen am Anfang oder Ende!</translation>
    </message>
    <message>
        <source>The new password contains CR or LF in binary form!</source>
        <translation>Das neue Passwort enthält CR oder LF in binärer Form!</translation>
    </message>
    <message>
        <source>The new password is not "UTF-8 without BOM" compatible!</source>
        <translation>Das neue Passwort ist nicht &quot;UTF-8 ohne BOM&quot;-kompatibel!</translation>
    </message>
    <message>
        <source>The old password is not correct!</source>
        <translation>Das alte Passwort ist nicht richtig!</translation>
    </message>
    <message>
        <source>The server return error code %1!</source>
        <translation>Der Server meldet den Fehlercode %1!</translation>
    </message>
    <message>
        <source>The old password contains a line break. Please enter it again without one.</source>
        <translation>Das alte Passwort enthält einen Zeilenumbruch. Bitte geben Sie es ohne erneut ein.</translation>
    </message>
    <message>
        <source>a password has %1 to %2 characters and no line break.</source>
        <translation>Ein Passwort hat %1 bis %2 Zeichen und keinen Zeilenumbruch.</translation>
    </message>
</context>
<context>
    <name>frmChat</name>
    <message>
        <source>Chat</source>
        <translation>Chat</translation>
    </message>
    <message>
        <source>Type message here</source>
        <translation>Nachricht hier eingeben</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Unbekannt</translation>
    </message>
    <message>
        <source>You are offline</source>
        <translation>Sie sind offline</translation>
    </message>
    <message>
        <source>%1 is offline</source>
        <translation>%1 ist offline</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>Nachricht</translation>
    </message>
    <message>
        <source>This message was maybe not delivered</source>
        <translation>Diese Nachricht wurde möglicherweise nicht zugestellt</translation>
    </message>
    <message>
        <source>Conversation</source>
        <translation>Unterhaltung</translation>
    </message>
</context>
<context>
    <name>frmConfig</name>
    <message>
        <source>Config</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Interface</source>
        <translation>Oberfläche</translation>
    </message>
    <message>
        <source>Select Style: &lt;span style="color:#555500;"&gt;(active)&lt;/span&gt; or &lt;span style="color:#550000;"&gt;(restart)&lt;/span&gt;</source>
        <translation>Stil wählen: &lt;span style=&quot;color:#555500;&quot;&gt;(sofort)&lt;/span&gt; oder &lt;span style=&quot;color:#550000;&quot;&gt;(Neustart)&lt;/span&gt;</translation>
    </message>
    <message>
        <source>System</source>
        <translation>System</translation>
    </message>
    <message>
        <source>Use Classic Theme</source>
        <translation>Klassisches Aussehen verwenden</translation>
    </message>
    <message>
        <source>Select Language: &lt;span style="color:#550000;"&gt;(restart)&lt;/span&gt;</source>
        <translation>Sprache wählen: &lt;span style=&quot;color:#550000;&quot;&gt;(Neustart)&lt;/span&gt;</translation>
    </message>
    <message>
        <source>System (System)</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Font:</source>
        <translation>Schrift:</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>Vorschau</translation>
    </message>
    <message>
        <source>Change Font</source>
        <translation>Schrift ändern</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Zurücksetzen</translation>
    </message>
    <message>
        <source>The Font is only used with chat windows&lt;br&gt;Change Language need a restart of Zelto Messenger</source>
        <translation>Die Schrift gilt nur für Chatfenster&lt;br&gt;Ein Sprachwechsel startet Zelto Messenger neu</translation>
    </message>
    <message>
        <source>Update</source>
        <translation>Update</translation>
    </message>
    <message>
        <source>Update Settings: &lt;span style="color:#555500;"&gt;(active)&lt;/span&gt;</source>
        <translation>Update-Einstellungen: &lt;span style=&quot;color:#555500;&quot;&gt;(sofort)&lt;/span&gt;</translation>
    </message>
    <message>
        <source>Enable Update notification</source>
        <translation>Update-Benachrichtigung einschalten</translation>
    </message>
    <message>
        <source>Update Channel: %1
Latest Version: %2
Your Version: %3</source>
        <translation>Update-Kanal: %1
Neueste Version: %2
Ihre Version: %3</translation>
    </message>
    <message>
        <source>WARNING: THE SETTINGS ONLY IN USE IF THE UPDATE MANAGER BUILT IN!</source>
        <translation>WARNUNG: DIESE EINSTELLUNGEN GELTEN NUR MIT EINGEBAUTER UPDATE-VERWALTUNG!</translation>
    </message>
    <message>
        <source>More informations at </source>
        <translation>Mehr Informationen im </translation>
    </message>
    <message>
        <source>Zelto Messenger Forum</source>
        <translation>Zelto Messenger Forum</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Unbekannt</translation>
    </message>
    <message>
        <source>Set Font</source>
        <translation>Schrift wählen</translation>
    </message>
    <message>
        <source>Use desktop notifications</source>
        <translation>Benachrichtigungen des Desktops verwenden</translation>
    </message>
    <message>
        <source>This desktop has no notification service; notices appear as popups.</source>
        <translation>Dieser Desktop hat keinen Benachrichtigungsdienst; Hinweise erscheinen als Popups.</translation>
    </message>
    <message>
        <source>Style</source>
        <translation>Stil</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>Sprache</translation>
    </message>
</context>
<context>
    <name>frmContactRequests</name>
    <message>
        <source>Friend Requests</source>
        <translation>Freundschaftsanfragen</translation>
    </message>
    <message>
        <source>You have 0 Friend Requests</source>
        <translation>Sie haben 0 Freundschaftsanfragen</translation>
    </message>
    <message>
        <source>Accept</source>
        <translation>Annehmen</translation>
    </message>
    <message>
        <source>Reject</source>
        <translation>Ablehnen</translation>
    </message>
    <message>
        <source>You have 1 Friend Request</source>
        <translation>Sie haben 1 Freundschaftsanfrage</translation>
    </message>
    <message>
        <source>You have %1 Friend Requests</source>
        <translation>Sie haben %1 Freundschaftsanfragen</translation>
    </message>
    <message>
        <source>Accept friend request</source>
        <translation>Freundschaftsanfrage annehmen</translation>
    </message>
    <message>
        <source>Accept friend request failed!</source>
        <translation>Die Freundschaftsanfrage konnte nicht angenommen werden!</translation>
    </message>
    <message>
        <source>Reject friend request</source>
        <translation>Freundschaftsanfrage ablehnen</translation>
    </message>
    <message>
        <source>Reject friend request failed!</source>
        <translation>Die Freundschaftsanfrage konnte nicht abgelehnt werden!</translation>
    </message>
    <message>
        <source>Friend requests</source>
        <translation>Freundschaftsanfragen</translation>
    </message>
</context>
<context>
    <name>frmLogin</name>
    <message>
        <source>Zelto Messenger</source>
        <translation>Zelto Messenger</translation>
    </message>
    <message>
        <source>Log into your account</source>
        <translation>Melden Sie sich bei Ihrem Konto an</translation>
    </message>
    <message>
        <source>Please enter your Username and the Password</source>
        <translation>Bitte geben Sie Ihren Benutzernamen und Ihr Passwort ein</translation>
    </message>
    <message>
        <source>Username:</source>
        <translation>Benutzername:</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>Passwort:</translation>
    </message>
    <message>
        <source>You don't have a account? &lt;a href="zmp://register"&gt;Register here&lt;/a&gt;</source>
        <translation>Sie haben noch kein Konto? &lt;a href="zmp://register"&gt;Hier registrieren&lt;/a&gt;</translation>
    </message>
    <message>
        <source>Stay logged in</source>
        <translation>Angemeldet bleiben</translation>
    </message>
    <message>
        <source>Start at login</source>
        <translation>Mit dem System starten</translation>
    </message>
    <message>
        <source>Login</source>
        <translation>Anmelden</translation>
    </message>
    <message>
        <source>Stop ZM</source>
        <translation>ZM beenden</translation>
    </message>
    <message>
        <source>Welcome (&lt;a href="zmp://editprofile"&gt;Edit Profile&lt;/a&gt;)</source>
        <translation>Willkommen (&lt;a href="zmp://editprofile"&gt;Profil bearbeiten&lt;/a&gt;)</translation>
    </message>
    <message>
        <source>Register a new account</source>
        <translation>Ein neues Konto registrieren</translation>
    </message>
    <message>
        <source>umax14</source>
        <translation>umax14</translation>
    </message>
    <message>
        <source>Nickname:</source>
        <translation>Spitzname:</translation>
    </message>
    <message>
        <source>Max</source>
        <translation>Max</translation>
    </message>
    <message>
        <source>Realname:</source>
        <translation>Echter Name:</translation>
    </message>
    <message>
        <source>Max Doe</source>
        <translation>Max Mustermann</translation>
    </message>
    <message>
        <source>E-Mail:</source>
        <translation>E-Mail:</translation>
    </message>
    <message>
        <source>max.doe@example.org</source>
        <translation>max.mustermann@example.org</translation>
    </message>
    <message>
        <source>Repeat password:</source>
        <translation>Passwort wiederholen:</translation>
    </message>
    <message>
        <source>Captcha: Not loaded</source>
        <translation>Captcha: Nicht geladen</translation>
    </message>
    <message>
        <source>Captcha:</source>
        <translation>Captcha:</translation>
    </message>
    <message>
        <source>Generate new</source>
        <translation>Neu erzeugen</translation>
    </message>
    <message>
        <source>&lt;&lt; Back</source>
        <translation>&lt;&lt; Zurück</translation>
    </message>
    <message>
        <source>Register</source>
        <translation>Registrieren</translation>
    </message>
    <message>
        <source>Username</source>
        <translation>Benutzername</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Passwort</translation>
    </message>
    <message>
        <source>Search contacts</source>
        <translation>Kontakte durchsuchen</translation>
    </message>
    <message>
        <source>User</source>
        <translation>Benutzer</translation>
    </message>
    <message>
        <source>Offline</source>
        <translation>Offline</translation>
    </message>
    <message>
        <source>You are offline, please wait until you're online!</source>
        <translation>Sie sind offline, bitte warten Sie, bis Sie online sind!</translation>
    </message>
    <message>
        <source>Logging in...</source>
        <translation>Anmeldung läuft...</translation>
    </message>
    <message>
        <source>Too many failed logins for this account or from this computer. Please wait a few minutes before you try again.</source>
        <translation>Zu viele fehlgeschlagene Anmeldungen für dieses Konto oder von diesem Computer. Bitte warten Sie einige Minuten, bevor Sie es erneut versuchen.</translation>
    </message>
    <message>
        <source>You have type invalid account data!</source>
        <translation>Sie haben ungültige Kontodaten eingegeben!</translation>
    </message>
    <message>
        <source>Can't connect to %1 Server</source>
        <translation>Keine Verbindung zum %1-Server möglich</translation>
    </message>
    <message>
        <source>Welcome %1 (&lt;a href="zmp://editprofile"&gt;Edit Profile&lt;/a&gt;)&lt;br&gt;You have 1 (&lt;a href="zmp://friendrequests"&gt;Friend Request&lt;/a&gt;)</source>
        <translation>Willkommen %1 (&lt;a href="zmp://editprofile"&gt;Profil bearbeiten&lt;/a&gt;)&lt;br&gt;Sie haben 1 (&lt;a href="zmp://friendrequests"&gt;Freundschaftsanfrage&lt;/a&gt;)</translation>
    </message>
    <message>
        <source>Welcome %1 (&lt;a href="zmp://editprofile"&gt;Edit Profile&lt;/a&gt;)&lt;br&gt;You have %2 (&lt;a href="zmp://friendrequests"&gt;Friend Requests&lt;/a&gt;)</source>
        <translation>Willkommen %1 (&lt;a href="zmp://editprofile"&gt;Profil bearbeiten&lt;/a&gt;)&lt;br&gt;Sie haben %2 (&lt;a href="zmp://friendrequests"&gt;Freundschaftsanfragen&lt;/a&gt;)</translation>
    </message>
    <message>
        <source>Welcome %1 (&lt;a href="zmp://editprofile"&gt;Edit Profile&lt;/a&gt;)</source>
        <translation>Willkommen %1 (&lt;a href="zmp://editprofile"&gt;Profil bearbeiten&lt;/a&gt;)</translation>
    </message>
    <message>
        <source>Online status</source>
        <translation>Online-Status</translation>
    </message>
    <message>
        <source>Online</source>
        <translation>Online</translation>
    </message>
    <message>
        <source>Away</source>
        <translation>Abwesend</translation>
    </message>
    <message>
        <source>Busy</source>
        <translation>Beschäftigt</translation>
    </message>
    <message>
        <source>Not just</source>
        <translation>Gerade nicht</translation>
    </message>
    <message>
        <source>Show offline</source>
        <translation>Offline anzeigen</translation>
    </message>
    <message>
        <source>Logout</source>
        <translation>Abmelden</translation>
    </message>
    <message>
        <source>Open ZM</source>
        <translation>ZM öffnen</translation>
    </message>
    <message>
        <source>Messenger</source>
        <translation>Messenger</translation>
    </message>
    <message>
        <source>Add contact</source>
        <translation>Kontakt hinzufügen</translation>
    </message>
    <message>
        <source>Change password</source>
        <translation>Passwort ändern</translation>
    </message>
    <message>
        <source>Edit profile</source>
        <translation>Profil bearbeiten</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Tools</source>
        <translation>Extras</translation>
    </message>
    <message>
        <source>Change Language</source>
        <translation>Sprache ändern</translation>
    </message>
    <message>
        <source>Preferences</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>Check for Update</source>
        <translation>Nach Aktualisierung suchen</translation>
    </message>
    <message>
        <source>About %1</source>
        <translation>Über %1</translation>
    </message>
    <message>
        <source>Server group chat</source>
        <translation>Server-Gruppenchat</translation>
    </message>
    <message>
        <source>Server group chat is disabled on Windows!</source>
        <translation>Der Server-Gruppenchat ist unter Windows deaktiviert!</translation>
    </message>
    <message>
        <source>The passwords do not match.</source>
        <translation>Die Passwörter stimmen nicht überein.</translation>
    </message>
    <message>
        <source>The registration site %1 did not confirm the account (HTTP %2). Try to log in with it before you register again.</source>
        <translation>Die Registrierungsseite %1 hat das Konto nicht bestätigt (HTTP %2). Versuchen Sie, sich damit anzumelden, bevor Sie sich erneut registrieren.</translation>
    </message>
    <message>
        <source>The registration site %1 cannot be reached. Check the network connection and try again.</source>
        <translation>Die Registrierungsseite %1 ist nicht erreichbar. Prüfen Sie die Netzwerkverbindung und versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>The account %1 has been created. You can log in now.</source>
        <translation>Das Konto %1 wurde angelegt. Sie können sich jetzt anmelden.</translation>
    </message>
    <message>
        <source>Show profile</source>
        <translation>Profil anzeigen</translation>
    </message>
    <message>
        <source>Open Chat</source>
        <translation>Chat öffnen</translation>
    </message>
    <message>
        <source>Rename contact</source>
        <translation>Kontakt umbenennen</translation>
    </message>
    <message>
        <source>Remove contact</source>
        <translation>Kontakt entfernen</translation>
    </message>
    <message>
        <source>Reset name</source>
        <translation>Namen zurücksetzen</translation>
    </message>
    <message>
        <source>Please type in the new contact name</source>
        <translation>Bitte geben Sie den neuen Kontaktnamen ein</translation>
    </message>
    <message>
        <source>Are you sure to remove %1 from your Contacts?</source>
        <translation>Möchten Sie %1 wirklich aus Ihren Kontakten entfernen?</translation>
    </message>
    <message>
        <source>Can't remove %1 from your Contacts!</source>
        <translation>%1 kann nicht aus Ihren Kontakten entfernt werden!</translation>
    </message>
    <message>
        <source>The account %1 don't exists!</source>
        <translation>Das Konto %1 existiert nicht!</translation>
    </message>
    <message>
        <source>Add contact failed!</source>
        <translation>Kontakt konnte nicht hinzugefügt werden!</translation>
    </message>
    <message>
        <source>Please type in the account name of your contact</source>
        <translation>Bitte geben Sie den Kontonamen Ihres Kontakts ein</translation>
    </message>
    <message>
        <source>Can't get Profile Image!</source>
        <translation>Das Profilbild kann nicht geladen werden!</translation>
    </message>
    <message>
        <source>%1 profile</source>
        <translation>Profil von %1</translation>
    </message>
    <message>
        <source>%1 Update</source>
        <translation>%1-Aktualisierung</translation>
    </message>
    <message>
        <source>You have the current version of %1!</source>
        <translation>Sie haben die aktuelle Version von %1!</translation>
    </message>
    <message>
        <source>&lt;span style="color: blue;"&gt;%1&lt;/span&gt;&lt;span&gt; is not in your contacts!&lt;/span&gt;</source>
        <translation>&lt;span style="color: blue;"&gt;%1&lt;/span&gt;&lt;span&gt; ist nicht in Ihren Kontakten!&lt;/span&gt;</translation>
    </message>
    <message>
        <source>Incoming Message</source>
        <translation>Eingehende Nachricht</translation>
    </message>
    <message>
        <source>changed status</source>
        <translation>hat den Status geändert</translation>
    </message>
    <message>
        <source>Status changed</source>
        <translation>Status geändert</translation>
    </message>
    <message>
        <source>Reconnected</source>
        <translation>Wieder verbunden</translation>
    </message>
    <message>
        <source>%1 has relogged in your account</source>
        <translation>%1 hat Sie wieder an Ihrem Konto angemeldet</translation>
    </message>
    <message>
        <source>Logged out</source>
        <translation>Abgemeldet</translation>
    </message>
    <message>
        <source>Your Account data has been expired!</source>
        <translation>Ihre Kontodaten sind abgelaufen!</translation>
    </message>
    <message>
        <source>Disconnected</source>
        <translation>Verbindung getrennt</translation>
    </message>
    <message>
        <source>Please check your Internet connection!</source>
        <translation>Bitte überprüfen Sie Ihre Internetverbindung!</translation>
    </message>
    <message>
        <source>The user name contains a line break. Please enter it again without one.</source>
        <translation>Der Benutzername enthält einen Zeilenumbruch. Bitte geben Sie ihn ohne Zeilenumbruch erneut ein.</translation>
    </message>
    <message>
        <source>The password contains a line break. Please enter it again without one.</source>
        <translation>Das Passwort enthält einen Zeilenumbruch. Bitte geben Sie es ohne Zeilenumbruch erneut ein.</translation>
    </message>
    <message>
        <source>A password can have at most %1 characters. Only the first %1 characters were kept.</source>
        <translation>Ein Passwort darf höchstens %1 Zeichen lang sein. Nur die ersten %1 Zeichen wurden übernommen.</translation>
    </message>
    <message>
        <source>Contacts</source>
        <translation>Kontakte</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>You have 1 (&lt;a href="zmp://friendrequests"&gt;Friend Request&lt;/a&gt;)</source>
        <translation>Sie haben 1 (&lt;a href="zmp://friendrequests"&gt;Freundschaftsanfrage&lt;/a&gt;)</translation>
    </message>
    <message>
        <source>You have %1 (&lt;a href="zmp://friendrequests"&gt;Friend Requests&lt;/a&gt;)</source>
        <translation>Sie haben %1 (&lt;a href="zmp://friendrequests"&gt;Freundschaftsanfragen&lt;/a&gt;)</translation>
    </message>
</context>
<context>
    <name>frmProfile</name>
    <message>
        <source>Profile editor</source>
        <translation>Profil bearbeiten</translation>
    </message>
    <message>
        <source>Account:</source>
        <translation>Konto:</translation>
    </message>
    <message>
        <source>Avatar:</source>
        <translation>Avatar:</translation>
    </message>
    <message>
        <source>Show Avatar</source>
        <translation>Avatar zeigen</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>Name:</translation>
    </message>
    <message>
        <source>Your Status:</source>
        <translation>Ihr Status:</translation>
    </message>
    <message>
        <source>Contacts:</source>
        <translation>Kontakte:</translation>
    </message>
    <message>
        <source>Clients:</source>
        <translation>Clients:</translation>
    </message>
    <message>
        <source>Show Clients</source>
        <translation>Clients zeigen</translation>
    </message>
    <message>
        <source>Change</source>
        <translation>Ändern</translation>
    </message>
    <message>
        <source>Avatar: %1</source>
        <translation>Avatar: %1</translation>
    </message>
    <message>
        <source>Account: %1</source>
        <translation>Konto: %1</translation>
    </message>
    <message>
        <source>Contacts: %1</source>
        <translation>Kontakte: %1</translation>
    </message>
    <message>
        <source>Clients: %1</source>
        <translation>Clients: %1</translation>
    </message>
    <message>
        <source>Clients</source>
        <translation>Clients</translation>
    </message>
    <message>
        <source>Clients of %1</source>
        <translation>Clients von %1</translation>
    </message>
    <message>
        <source>System</source>
        <translation>System</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>IP</translation>
    </message>
    <message>
        <source>The new name is shorter than %1 bytes!</source>
        <translation>Der neue Name ist kürzer als %1 Bytes!</translation>
    </message>
    <message>
        <source>The new name is not the same in trimmed and not trimmed form!</source>
        <translation>Der neue Name hat Leerzeichen am Anfang oder Ende!</translation>
    </message>
    <message>
        <source>The new name contains CR or LF in binary form!</source>
        <translation>Der neue Name enthält CR oder LF in binärer Form!</translation>
    </message>
    <message>
        <source>The new name is not "UTF-8 without BOM" compatible!</source>
        <translation>Der neue Name ist nicht &quot;UTF-8 ohne BOM&quot;-kompatibel!</translation>
    </message>
    <message>
        <source>Change name</source>
        <translation>Name ändern</translation>
    </message>
    <message>
        <source>The new message state is not the same in trimmed and not trimmed form!</source>
        <translation>Der neue Status hat Leerzeichen am Anfang oder Ende!</translation>
    </message>
    <message>
        <source>The new message state contains CR or LF in binary form!</source>
        <translation>Der neue Status enthält CR oder LF in binärer Form!</translation>
    </message>
    <message>
        <source>The new message state is not "UTF-8 without BOM" compatible!</source>
        <translation>Der neue Status ist nicht &quot;UTF-8 ohne BOM&quot;-kompatibel!</translation>
    </message>
    <message>
        <source>Change message state</source>
        <translation>Status ändern</translation>
    </message>
    <message>
        <source>Name could not be changed with Error %1!</source>
        <translation>Der Name konnte nicht geändert werden, Fehler %1!</translation>
    </message>
    <message>
        <source>Status could not be changed with Error %1!</source>
        <translation>Der Status konnte nicht geändert werden, Fehler %1!</translation>
    </message>
    <message>
        <source>Avatar</source>
        <translation>Avatar</translation>
    </message>
    <message>
        <source>Change Avatar</source>
        <translation>Avatar ändern</translation>
    </message>
    <message>
        <source>Apply Avatar</source>
        <translation>Avatar übernehmen</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Images (</source>
        <translation>Bilder (</translation>
    </message>
    <message>
        <source>;;Portable Network Graphics (*.png);;All files (**)</source>
        <translation>;;Portable Network Graphics (*.png);;Alle Dateien (**)</translation>
    </message>
    <message>
        <source>Select Avatar</source>
        <translation>Avatar wählen</translation>
    </message>
    <message>
        <source>Can't load Avatar</source>
        <translation>Das Avatar kann nicht geladen werden</translation>
    </message>
    <message>
        <source>Error uploading Avatar</source>
        <translation>Fehler beim Hochladen des Avatars</translation>
    </message>
    <message>
        <source>The new name is longer than %1 characters!</source>
        <translation>Der neue Name ist länger als %1 Zeichen!</translation>
    </message>
    <message>
        <source>The new message state is longer than %1 characters! Characters such as ä, € or &amp; count as several.</source>
        <translation>Der neue Status ist länger als %1 Zeichen! Zeichen wie ä, € oder &amp; zählen mehrfach.</translation>
    </message>
    <message>
        <source>a name has %1 to %2 characters and no line break.</source>
        <translation>Ein Name hat %1 bis %2 Zeichen und keinen Zeilenumbruch.</translation>
    </message>
    <message>
        <source>a status message has at most %1 characters and no line break.</source>
        <translation>Ein Status hat höchstens %1 Zeichen und keinen Zeilenumbruch.</translation>
    </message>
    <message>
        <source>Your new name %1 was saved, but your status message was not changed.</source>
        <translation>Ihr neuer Name %1 wurde gespeichert, Ihr Status aber nicht geändert.</translation>
    </message>
</context>
<context>
    <name>frmProfileInfo</name>
    <message>
        <source>Profile Info</source>
        <translation>Profilinfo</translation>
    </message>
    <message>
        <source>Account:</source>
        <translation>Konto:</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>Name:</translation>
    </message>
    <message>
        <source>Status:</source>
        <translation>Status:</translation>
    </message>
    <message>
        <source>Contacts:</source>
        <translation>Kontakte:</translation>
    </message>
    <message>
        <source>Clients:</source>
        <translation>Clients:</translation>
    </message>
    <message>
        <source>Show Clients</source>
        <translation>Clients zeigen</translation>
    </message>
    <message>
        <source>Signature: Regular</source>
        <translation>Signatur: Normal</translation>
    </message>
    <message>
        <source>&lt;img src=":/gui/ZeltoMessengerAvatar.png" height="128" width="128"/&gt;</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Account: %1</source>
        <translation>Konto: %1</translation>
    </message>
    <message>
        <source>Name: %1</source>
        <translation>Name: %1</translation>
    </message>
    <message>
        <source>Contacts: %1</source>
        <translation>Kontakte: %1</translation>
    </message>
    <message>
        <source>Regular</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>Gold</source>
        <translation>Gold</translation>
    </message>
    <message>
        <source>Silver</source>
        <translation>Silber</translation>
    </message>
    <message>
        <source>Bronze</source>
        <translation>Bronze</translation>
    </message>
    <message>
        <source>Signature: %1</source>
        <translation>Signatur: %1</translation>
    </message>
    <message>
        <source>Status: %1</source>
        <translation>Status: %1</translation>
    </message>
    <message>
        <source>Clients: %1</source>
        <translation>Clients: %1</translation>
    </message>
    <message>
        <source>Clients</source>
        <translation>Clients</translation>
    </message>
    <message>
        <source>Clients of %1</source>
        <translation>Clients von %1</translation>
    </message>
    <message>
        <source>System</source>
        <translation>System</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>IP</translation>
    </message>
</context>
<context>
    <name>frmUpdate</name>
    <message>
        <source>Zelto Messenger Update</source>
        <translation>Zelto Messenger Update</translation>
    </message>
    <message>
        <source>Zelto Messenger update is available</source>
        <translation>Ein Update für Zelto Messenger ist verfügbar</translation>
    </message>
    <message>
        <source>Your Version:</source>
        <translation>Ihre Version:</translation>
    </message>
    <message>
        <source>New Version:</source>
        <translation>Neue Version:</translation>
    </message>
    <message>
        <source>Install Update</source>
        <translation>Update installieren</translation>
    </message>
    <message>
        <source>Not Update now</source>
        <translation>Jetzt nicht</translation>
    </message>
    <message>
        <source>Disable Update notification</source>
        <translation>Update-Benachrichtigung ausschalten</translation>
    </message>
    <message>
        <source>No valid new version is known yet.</source>
        <translation>Es ist noch keine gültige neue Version bekannt.</translation>
    </message>
    <message>
        <source>The updater %1 could not be started. Please install the update by hand.</source>
        <translation>Das Update-Programm %1 konnte nicht gestartet werden. Bitte installieren Sie das Update von Hand.</translation>
    </message>
</context>
<context>
    <name>Startup</name>
    <message>
        <source>Zelto Messenger is already running but does not answer.</source>
        <translation>Zelto Messenger läuft bereits, antwortet aber nicht.</translation>
    </message>
    <message>
        <source>Usage: %1 [options]</source>
        <translation>Aufruf: %1 [Optionen]</translation>
    </message>
    <message>
        <source>Instant messenger for Zelto Messenger accounts.</source>
        <translation>Sofortnachrichten für Zelto-Messenger-Konten.</translation>
    </message>
    <message>
        <source>Options:</source>
        <translation>Optionen:</translation>
    </message>
    <message>
        <source>Start with the main window minimised</source>
        <translation>Mit minimiertem Hauptfenster starten</translation>
    </message>
    <message>
        <source>Go back to the system&apos;s widget style</source>
        <translation>Zum Stil des Systems zurückkehren</translation>
    </message>
    <message>
        <source>Accepted for older start entries; has no effect</source>
        <translation>Für ältere Starteinträge angenommen; ohne Wirkung</translation>
    </message>
    <message>
        <source>Show this help and exit</source>
        <translation>Diese Hilfe anzeigen und beenden</translation>
    </message>
    <message>
        <source>Show the version and exit</source>
        <translation>Die Version anzeigen und beenden</translation>
    </message>
    <message>
        <source>Starting the program again while it runs brings its window to the front.</source>
        <translation>Wird das Programm erneut gestartet, während es läuft, kommt sein Fenster nach vorn.</translation>
    </message>
</context>
<context>
    <name>ActionResult</name>
    <message>
        <source>The connection to the server is lost, so nothing was sent. Please try again when you are online.</source>
        <translation>Die Verbindung zum Server ist unterbrochen, daher wurde nichts gesendet. Bitte versuchen Sie es erneut, wenn Sie online sind.</translation>
    </message>
    <message>
        <source>The server did not answer in time. Please try again.</source>
        <translation>Der Server hat nicht rechtzeitig geantwortet. Bitte versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>The server did not accept the value: %1</source>
        <translation>Der Server hat den Wert nicht angenommen: %1</translation>
    </message>
    <message>
        <source>The server did not accept the value.</source>
        <translation>Der Server hat den Wert nicht angenommen.</translation>
    </message>
    <message>
        <source>There were too many changes in a short time. Please wait a minute and try again.</source>
        <translation>Es gab zu viele Änderungen in kurzer Zeit. Bitte warten Sie eine Minute und versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>The server refused the change.</source>
        <translation>Der Server hat die Änderung abgelehnt.</translation>
    </message>
</context>
</TS>