<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>DesktopNotifications</name>
    <message>
        <source>Open chat</source>
        <translation>Ouvrir la conversation</translation>
    </message>
</context>
<context>
    <name>NotificationWidget</name>
    <message>
        <source>Notification</source>
        <translation>Notification</translation>
    </message>
    <message>
        <source>Notification Text</source>
        <translation>Texte de la notification</translation>
    </message>
</context>
<context>
    <name>frmAboutZMPQ</name>
    <message>
        <source>About Zelto Messenger (ZMP)</source>
        <translation>À propos de Zelto Messenger (ZMP)</translation>
    </message>
    <message>
        <source>&lt;b&gt;Zelto Messenger&lt;/b&gt; by Zelto, Version %1&lt;br/&gt;%2</source>
        <translation>&lt;b&gt;Zelto Messenger&lt;/b&gt; par Zelto, version %1&lt;br/&gt;%2</translation>
    </message>
    <message>
        <source>&lt;p&gt;An instant messenger for your desktop.&lt;/p&gt;</source>
        <translation>&lt;p&gt;Une messagerie instantanée pour votre bureau.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>Build</source>
        <translation>Compilation</translation>
    </message>
    <message>
        <source>Built on %1 at %2 with %4&lt;br/&gt;Running with Qt %5 on %6</source>
        <translation>Compilé le %1 à %2 avec %4&lt;br/&gt;Exécuté avec Qt %5 sur %6</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>&lt;p&gt;Zelto Messenger keeps you in touch with your contacts: it shows who is online, carries your messages, keeps a history of every conversation and announces what happens while you work.&lt;/p&gt;</source>
        <translation>&lt;p&gt;Zelto Messenger vous garde en contact avec vos proches : il montre qui est en ligne, transmet vos messages, garde un historique de chaque conversation et vous signale ce qui se passe pendant que vous travaillez.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>About Zelto Messenger</source>
        <translation>À propos de Zelto Messenger</translation>
    </message>
</context>
<context>
    <name>frmAboutZelto</name>
    <message>
        <source>About Zelto</source>
        <translation>À propos de Zelto</translation>
    </message>
    <message>
        <source>config.h -&gt; AboutVendor</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>&lt;b&gt;Zelto&lt;/b&gt;&lt;br/&gt;Zelto is a small team that builds communication software for the desktop. Zelto Messenger is its instant messenger: a light client that lives in the system tray and keeps you in touch with your contacts.</source>
        <translation>&lt;b&gt;Zelto&lt;/b&gt;&lt;br/&gt;Zelto est une petite équipe qui crée des logiciels de communication pour le bureau. Zelto Messenger est sa messagerie instantanée : un client léger qui vit dans la zone de notification et vous garde en contact avec vos proches.</translation>
    </message>
</context>
<context>
    <name>frmChangePassword</name>
    <message>
        <source>Change password</source>
        <translation>Changer le mot de passe</translation>
    </message>
    <message>
        <source>Fill out to change your password</source>
        <translation>Remplissez pour changer votre mot de passe</translation>
    </message>
    <message>
        <source>Old password:</source>
        <translation>Ancien mot de passe :</translation>
    </message>
    <message>
        <source>New password:</source>
        <translation>Nouveau mot de passe :</translation>
    </message>
    <message>
        <source>Repeat new pw:</source>
        <translation>Répéter le nouveau :</translation>
    </message>
    <message>
        <source>Change</source>
        <translation>Changer</translation>
    </message>
    <message>
        <source>The passwords don't match!</source>
        <translation>Les mots de passe ne correspondent pas !</translation>
    </message>
    <message>
        <source>The new password is shorter than %1 bytes!</source>
        <translation>Le nouveau mot de passe fait moins de %1 octets !</translation>
    </message>
    <message>
        <source>The new password is not the same in trimmed and not trimmed form!</source>
        <translation>Le nouveau mot de passe commence ou finit par des espaces !</translation>
    </message>
    <message>
        <source>The new password contains CR or LF in binary form!</source>
        <translation>Le nouveau mot de passe contient CR ou LF sous forme binaire !</translation>
    </message>
    <message>
        <source>The new password is not "UTF-8 without BOM" compatible!</source>
        <translation>Le nouveau mot de passe n'est pas compatible « UTF-8 sans BOM » !</translation>
    </message>
    <message>
        <source>The old password is not correct!</source>
        <translation>L'ancien mot de passe n'est pas correct !</translation>
    </message>
    <message>
        <source>The server return error code %1!</source>
        <translation>Le serveur a renvoyé le code d'erreur %1 !</translation>
    </message>
    <message>
        <source>The old password contains a line break. Please enter it again without one.</source>
        <translation>L'ancien mot de passe contient un saut de ligne. Veuillez le saisir à nouveau sans.</translation>
    </message>
    <message>
        <source>a password has %1 to %2 characters and no line break.</source>
        <translation>un mot de passe a de %1 à %2 caractères et aucun saut de ligne.</translation>
    </message>
</context>
<context>
    <name>frmChat</name>
    <message>
        <source>Chat</source>
        <translation>Discussion</translation>
    </message>
    <message>
        <source>Type message here</source>
        <translation>Saisissez votre message ici</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Inconnu</translation>
    </message>
    <message>
        <source>You are offline</source>
        <translation>Vous êtes hors ligne</translation>
    </message>
    <message>
        <source>%1 is offline</source>
        <translation>%1 est hors ligne</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>Message</translation>
    </message>
    <message>
        <source>This message was maybe not delivered</source>
        <translation>Ce message n&apos;a peut-être pas été remis</translation>
    </message>
    <message>
        <source>Conversation</source>
        <translation>Conversation</translation>
    </message>
</context>
<context>
    <name>frmConfig</name>
    <message>
        <source>Config</source>
        <translation>Préférences</translation>
    </message>
    <message>
        <source>Interface</source>
        <translation>Interface</translation>
    </message>
    <message>
        <source>Select Style: &lt;span style="color:#555500;"&gt;(active)&lt;/span&gt; or &lt;span style="color:#550000;"&gt;(restart)&lt;/span&gt;</source>
        <translation>Choisir le style : &lt;span style=&quot;color:#555500;&quot;&gt;(immédiat)&lt;/span&gt; ou &lt;span style=&quot;color:#550000;&quot;&gt;(redémarrage)&lt;/span&gt;</translation>
    </message>
    <message>
        <source>System</source>
        <translation>Système</translation>
    </message>
    <message>
        <source>Use Classic Theme</source>
        <translation>Utiliser le thème classique</translation>
    </message>
    <message>
        <source>Select Language: &lt;span style="color:#550000;"&gt;(restart)&lt;/span&gt;</source>
        <translation>Choisir la langue : &lt;span style=&quot;color:#550000;&quot;&gt;(redémarrage)&lt;/span&gt;</translation>
    </message>
    <message>
        <source>System (System)</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Font:</source>
        <translation>Police :</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>Aperçu</translation>
    </message>
    <message>
        <source>Change Font</source>
        <translation>Changer la police</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Réinitialiser</translation>
    </message>
    <message>
        <source>The Font is only used with chat windows&lt;br&gt;Change Language need a restart of Zelto Messenger</source>
        <translation>La police ne sert qu'aux fenêtres de discussion&lt;br&gt;Changer de langue redémarre Zelto Messenger</translation>
    </message>
    <message>
        <source>Update</source>
        <translation>Mise à jour</translation>
    </message>
    <message>
        <source>Update Settings: &lt;span style="color:#555500;"&gt;(active)&lt;/span&gt;</source>
        <translation>Réglages de mise à jour : &lt;span style=&quot;color:#555500;&quot;&gt;(immédiat)&lt;/span&gt;</translation>
    </message>
    <message>
        <source>Enable Update notification</source>
        <translation>Activer la notification de mise à jour</translation>
    </message>
    <message>
        <source>Update Channel: %1
Latest Version: %2
Your Version: %3</source>
        <translation>Canal de mise à jour : %1
Dernière version : %2
Votre version : %3</translation>
    </message>
    <message>
        <source>WARNING: THE SETTINGS ONLY IN USE IF THE UPDATE MANAGER BUILT IN!</source>
        <translation>ATTENTION : CES RÉGLAGES NE SERVENT QU'AVEC LE GESTIONNAIRE DE MISES À JOUR INTÉGRÉ !</translation>
    </message>
    <message>
        <source>More informations at </source>
        <translation>Plus d'informations sur le </translation>
    </message>
    <message>
        <source>Zelto Messenger Forum</source>
        <translation>forum Zelto Messenger</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Inconnue</translation>
    </message>
    <message>
        <source>Set Font</source>
        <translation>Choisir la police</translation>
    </message>
    <message>
        <source>Use desktop notifications</source>
        <translation>Utiliser les notifications du bureau</translation>
    </message>
    <message>
        <source>This desktop has no notification service; notices appear as popups.</source>
        <translation>Ce bureau n’a pas de service de notifications ; les avis s’affichent en fenêtres surgissantes.</translation>
    </message>
    <message>
        <source>Style</source>
        <translation>Style</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>Langue</translation>
    </message>
</context>
<context>
    <name>frmContactRequests</name>
    <message>
        <source>Friend Requests</source>
        <translation>Demandes d'amis</translation>
    </message>
    <message>
        <source>You have 0 Friend Requests</source>
        <translation>Vous avez 0 demande d'ami</translation>
    </message>
    <message>
        <source>Accept</source>
        <translation>Accepter</translation>
    </message>
    <message>
        <source>Reject</source>
        <translation>Refuser</translation>
    </message>
    <message>
        <source>You have 1 Friend Request</source>
        <translation>Vous avez 1 demande d'ami</translation>
    </message>
    <message>
        <source>You have %1 Friend Requests</source>
        <translation>Vous avez %1 demandes d'amis</translation>
    </message>
    <message>
        <source>Accept friend request</source>
        <translation>Accepter la demande d'ami</translation>
    </message>
    <message>
        <source>Accept friend request failed!</source>
        <translation>La demande d'ami n'a pas pu être acceptée !</translation>
    </message>
    <message>
        <source>Reject friend request</source>
        <translation>Refuser la demande d'ami</translation>
    </message>
    <message>
        <source>Reject friend request failed!</source>
        <translation>La demande d'ami n'a pas pu être refusée !</translation>
    </message>
    <message>
        <source>Friend requests</source>
        <translation>Demandes d'ami</translation>
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
        <translation>Connectez-vous à votre compte</translation>
    </message>
    <message>
        <source>Please enter your Username and the Password</source>
        <translation>Veuillez saisir votre nom d'utilisateur et votre mot de passe</translation>
    </message>
    <message>
        <source>Username:</source>
        <translation>Nom d'utilisateur :</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>Mot de passe :</translation>
    </message>
    <message>
        <source>You don't have a account? &lt;a href="zmp://register"&gt;Register here&lt;/a&gt;</source>
        <translation>Vous n'avez pas de compte ? &lt;a href="zmp://register"&gt;Inscrivez-vous ici&lt;/a&gt;</translation>
    </message>
    <message>
        <source>Stay logged in</source>
        <translation>Rester connecté</translation>
    </message>
    <message>
        <source>Start at login</source>
        <translation>Démarrer avec le système</translation>
    </message>
    <message>
        <source>Login</source>
        <translation>Connexion</translation>
    </message>
    <message>
        <source>Stop ZM</source>
        <translation>Quitter ZM</translation>
    </message>
    <message>
        <source>Welcome (&lt;a href="zmp://editprofile"&gt;Edit Profile&lt;/a&gt;)</source>
        <translation>Bienvenue (&lt;a href="zmp://editprofile"&gt;Modifier le profil&lt;/a&gt;)</translation>
    </message>
    <message>
        <source>Register a new account</source>
        <translation>Créer un nouveau compte</translation>
    </message>
    <message>
        <source>umax14</source>
        <translation>umax14</translation>
    </message>
    <message>
        <source>Nickname:</source>
        <translation>Pseudonyme :</translation>
    </message>
    <message>
        <source>Max</source>
        <translation>Max</translation>
    </message>
    <message>
        <source>Realname:</source>
        <translation>Nom réel :</translation>
    </message>
    <message>
        <source>Max Doe</source>
        <translation>Max Dupont</translation>
    </message>
    <message>
        <source>E-Mail:</source>
        <translation>E-mail :</translation>
    </message>
    <message>
        <source>max.doe@example.org</source>
        <translation>max.dupont@example.org</translation>
    </message>
    <message>
        <source>Repeat password:</source>
        <translation>Répéter le mot de passe :</translation>
    </message>
    <message>
        <source>Captcha: Not loaded</source>
        <translation>Captcha : non chargé</translation>
    </message>
    <message>
        <source>Captcha:</source>
        <translation>Captcha :</translation>
    </message>
    <message>
        <source>Generate new</source>
        <translation>Nouveau</translation>
    </message>
    <message>
        <source>&lt;&lt; Back</source>
        <translation>&lt;&lt; Retour</translation>
    </message>
    <message>
        <source>Register</source>
        <translation>S'inscrire</translation>
    </message>
    <message>
        <source>Username</source>
        <translation>Nom d'utilisateur</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Mot de passe</translation>
    </message>
    <message>
        <source>Search contacts</source>
        <translation>Rechercher des contacts</translation>
    </message>
    <message>
        <source>User</source>
        <translation>Utilisateur</translation>
    </message>
    <message>
        <source>Offline</source>
        <translation>Hors ligne</translation>
    </message>
    <message>
        <source>You are offline, please wait until you're online!</source>
        <translation>Vous êtes hors ligne, veuillez attendre d'être en ligne !</translation>
    </message>
    <message>
        <source>Logging in...</source>
        <translation>Connexion en cours...</translation>
    </message>
    <message>
        <source>Too many failed logins for this account or from this computer. Please wait a few minutes before you try again.</source>
        <translation>Trop de connexions échouées pour ce compte ou depuis cet ordinateur. Veuillez patienter quelques minutes avant de réessayer.</translation>
    </message>
    <message>
        <source>You have type invalid account data!</source>
        <translation>Vous avez saisi des données de compte invalides !</translation>
    </message>
    <message>
        <source>Can't connect to %1 Server</source>
        <translation>Impossible de se connecter au serveur %1</translation>
    </message>
    <message>
        <source>Welcome %1 (&lt;a href="zmp://editprofile"&gt;Edit Profile&lt;/a&gt;)&lt;br&gt;You have 1 (&lt;a href="zmp://friendrequests"&gt;Friend Request&lt;/a&gt;)</source>
        <translation>Bienvenue %1 (&lt;a href="zmp://editprofile"&gt;Modifier le profil&lt;/a&gt;)&lt;br&gt;Vous avez 1 (&lt;a href="zmp://friendrequests"&gt;demande d'ami&lt;/a&gt;)</translation>
    </message>
    <message>
        <source>Welcome %1 (&lt;a href="zmp://editprofile"&gt;Edit Profile&lt;/a&gt;)&lt;br&gt;You have %2 (&lt;a href="zmp://friendrequests"&gt;Friend Requests&lt;/a&gt;)</source>
        <translation>Bienvenue %1 (&lt;a href="zmp://editprofile"&gt;Modifier le profil&lt;/a&gt;)&lt;br&gt;Vous avez %2 (&lt;a href="zmp://friendrequests"&gt;demandes d'ami&lt;/a&gt;)</translation>
    </message>
    <message>
        <source>Welcome %1 (&lt;a href="zmp://editprofile"&gt;Edit Profile&lt;/a&gt;)</source>
        <translation>Bienvenue %1 (&lt;a href="zmp://editprofile"&gt;Modifier le profil&lt;/a&gt;)</translation>
    </message>
    <message>
        <source>Online status</source>
        <translation>Statut en ligne</translation>
    </message>
    <message>
        <source>Online</source>
        <translation>En ligne</translation>
    </message>
    <message>
        <source>Away</source>
        <translation>Absent</translation>
    </message>
    <message>
        <source>Busy</source>
        <translation>Occupé</translation>
    </message>
    <message>
        <source>Not just</source>
        <translation>Pas maintenant</translation>
    </message>
    <message>
        <source>Show offline</source>
        <translation>Apparaître hors ligne</translation>
    </message>
    <message>
        <source>Logout</source>
        <translation>Déconnexion</translation>
    </message>
    <message>
        <source>Open ZM</source>
        <translation>Ouvrir ZM</translation>
    </message>
    <message>
        <source>Messenger</source>
        <translation>Messagerie</translation>
    </message>
    <message>
        <source>Add contact</source>
        <translation>Ajouter un contact</translation>
    </message>
    <message>
        <source>Change password</source>
        <translation>Changer le mot de passe</translation>
    </message>
    <message>
        <source>Edit profile</source>
        <translation>Modifier le profil</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Fermer</translation>
    </message>
    <message>
        <source>Tools</source>
        <translation>Outils</translation>
    </message>
    <message>
        <source>Change Language</source>
        <translation>Changer de langue</translation>
    </message>
    <message>
        <source>Preferences</source>
        <translation>Préférences</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Aide</translation>
    </message>
    <message>
        <source>Check for Update</source>
        <translation>Rechercher une mise à jour</translation>
    </message>
    <message>
        <source>About %1</source>
        <translation>À propos de %1</translation>
    </message>
    <message>
        <source>Server group chat</source>
        <translation>Discussion de groupe du serveur</translation>
    </message>
    <message>
        <source>Server group chat is disabled on Windows!</source>
        <translation>La discussion de groupe du serveur est désactivée sous Windows !</translation>
    </message>
    <message>
        <source>The passwords do not match.</source>
        <translation>Les mots de passe ne correspondent pas.</translation>
    </message>
    <message>
        <source>The registration site %1 did not confirm the account (HTTP %2). Try to log in with it before you register again.</source>
        <translation>Le site d’inscription %1 n’a pas confirmé le compte (HTTP %2). Essayez de vous connecter avec ce compte avant de vous inscrire à nouveau.</translation>
    </message>
    <message>
        <source>The registration site %1 cannot be reached. Check the network connection and try again.</source>
        <translation>Le site d’inscription %1 est injoignable. Vérifiez la connexion réseau et réessayez.</translation>
    </message>
    <message>
        <source>The account %1 has been created. You can log in now.</source>
        <translation>Le compte %1 a été créé. Vous pouvez vous connecter maintenant.</translation>
    </message>
    <message>
        <source>Show profile</source>
        <translation>Afficher le profil</translation>
    </message>
    <message>
        <source>Open Chat</source>
        <translation>Ouvrir la discussion</translation>
    </message>
    <message>
        <source>Rename contact</source>
        <translation>Renommer le contact</translation>
    </message>
    <message>
        <source>Remove contact</source>
        <translation>Supprimer le contact</translation>
    </message>
    <message>
        <source>Reset name</source>
        <translation>Réinitialiser le nom</translation>
    </message>
    <message>
        <source>Please type in the new contact name</source>
        <translation>Veuillez saisir le nouveau nom du contact</translation>
    </message>
    <message>
        <source>Are you sure to remove %1 from your Contacts?</source>
        <translation>Voulez-vous vraiment supprimer %1 de vos contacts ?</translation>
    </message>
    <message>
        <source>Can't remove %1 from your Contacts!</source>
        <translation>Impossible de supprimer %1 de vos contacts !</translation>
    </message>
    <message>
        <source>The account %1 don't exists!</source>
        <translation>Le compte %1 n'existe pas !</translation>
    </message>
    <message>
        <source>Add contact failed!</source>
        <translation>L'ajout du contact a échoué !</translation>
    </message>
    <message>
        <source>Please type in the account name of your contact</source>
        <translation>Veuillez saisir le nom de compte de votre contact</translation>
    </message>
    <message>
        <source>Can't get Profile Image!</source>
        <translation>Impossible d'obtenir l'image du profil !</translation>
    </message>
    <message>
        <source>%1 profile</source>
        <translation>Profil de %1</translation>
    </message>
    <message>
        <source>%1 Update</source>
        <translation>Mise à jour de %1</translation>
    </message>
    <message>
        <source>You have the current version of %1!</source>
        <translation>Vous avez la version actuelle de %1 !</translation>
    </message>
    <message>
        <source>&lt;span style="color: blue;"&gt;%1&lt;/span&gt;&lt;span&gt; is not in your contacts!&lt;/span&gt;</source>
        <translation>&lt;span style="color: blue;"&gt;%1&lt;/span&gt;&lt;span&gt; ne fait pas partie de vos contacts !&lt;/span&gt;</translation>
    </message>
    <message>
        <source>Incoming Message</source>
        <translation>Message entrant</translation>
    </message>
    <message>
        <source>changed status</source>
        <translation>a changé de statut</translation>
    </message>
    <message>
        <source>Status changed</source>
        <translation>Statut modifié</translation>
    </message>
    <message>
        <source>Reconnected</source>
        <translation>Reconnecté</translation>
    </message>
    <message>
        <source>%1 has relogged in your account</source>
        <translation>%1 vous a reconnecté à votre compte</translation>
    </message>
    <message>
        <source>Logged out</source>
        <translation>Déconnecté</translation>
    </message>
    <message>
        <source>Your Account data has been expired!</source>
        <translation>Les données de votre compte ont expiré !</translation>
    </message>
    <message>
        <source>Disconnected</source>
        <translation>Déconnecté du serveur</translation>
    </message>
    <message>
        <source>Please check your Internet connection!</source>
        <translation>Veuillez vérifier votre connexion Internet !</translation>
    </message>
    <message>
        <source>The user name contains a line break. Please enter it again without one.</source>
        <translation>Le nom d'utilisateur contient un saut de ligne. Veuillez le saisir de nouveau sans saut de ligne.</translation>
    </message>
    <message>
        <source>The password contains a line break. Please enter it again without one.</source>
        <translation>Le mot de passe contient un saut de ligne. Veuillez le saisir de nouveau sans saut de ligne.</translation>
    </message>
    <message>
        <source>A password can have at most %1 characters. Only the first %1 characters were kept.</source>
        <translation>Un mot de passe ne peut pas dépasser %1 caractères. Seuls les %1 premiers caractères ont été conservés.</translation>
    </message>
    <message>
        <source>Contacts</source>
        <translation>Contacts</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Quitter</translation>
    </message>
    <message>
        <source>You have 1 (&lt;a href="zmp://friendrequests"&gt;Friend Request&lt;/a&gt;)</source>
        <translation>Vous avez 1 (&lt;a href="zmp://friendrequests"&gt;demande d'ami&lt;/a&gt;)</translation>
    </message>
    <message>
        <source>You have %1 (&lt;a href="zmp://friendrequests"&gt;Friend Requests&lt;/a&gt;)</source>
        <translation>Vous avez %1 (&lt;a href="zmp://friendrequests"&gt;demandes d'ami&lt;/a&gt;)</translation>
    </message>
</context>
<context>
    <name>frmProfile</name>
    <message>
        <source>Profile editor</source>
        <translation>Modifier le profil</translation>
    </message>
    <message>
        <source>Account:</source>
        <translation>Compte :</translation>
    </message>
    <message>
        <source>Avatar:</source>
        <translation>Avatar :</translation>
    </message>
    <message>
        <source>Show Avatar</source>
        <translation>Afficher l'avatar</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>Nom :</translation>
    </message>
    <message>
        <source>Your Status:</source>
        <translation>Votre statut :</translation>
    </message>
    <message>
        <source>Contacts:</source>
        <translation>Contacts :</translation>
    </message>
    <message>
        <source>Clients:</source>
        <translation>Clients :</translation>
    </message>
    <message>
        <source>Show Clients</source>
        <translation>Afficher les clients</translation>
    </message>
    <message>
        <source>Change</source>
        <translation>Changer</translation>
    </message>
    <message>
        <source>Avatar: %1</source>
        <translation>Avatar : %1</translation>
    </message>
    <message>
        <source>Account: %1</source>
        <translation>Compte : %1</translation>
    </message>
    <message>
        <source>Contacts: %1</source>
        <translation>Contacts : %1</translation>
    </message>
    <message>
        <source>Clients: %1</source>
        <translation>Clients : %1</translation>
    </message>
    <message>
        <source>Clients</source>
        <translation>Clients</translation>
    </message>
    <message>
        <source>Clients of %1</source>
        <translation>Clients de %1</translation>
    </message>
    <message>
        <source>System</source>
        <translation>Système</translation>
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
        <translation>Le nouveau nom fait moins de %1 octets !</translation>
    </message>
    <message>
        <source>The new name is not the same in trimmed and not trimmed form!</source>
        <translation>Le nouveau nom commence ou finit par des espaces !</translation>
    </message>
    <message>
        <source>The new name contains CR or LF in binary form!</source>
        <translation>Le nouveau nom contient CR ou LF sous forme binaire !</translation>
    </message>
    <message>
        <source>The new name is not "UTF-8 without BOM" compatible!</source>
        <translation>Le nouveau nom n'est pas compatible « UTF-8 sans BOM » !</translation>
    </message>
    <message>
        <source>Change name</source>
        <translation>Changer le nom</translation>
    </message>
    <message>
        <source>The new message state is not the same in trimmed and not trimmed form!</source>
        <translation>Le nouveau statut commence ou finit par des espaces !</translation>
    </message>
    <message>
        <source>The new message state contains CR or LF in binary form!</source>
        <translation>Le nouveau statut contient CR ou LF sous forme binaire !</translation>
    </message>
    <message>
        <source>The new message state is not "UTF-8 without BOM" compatible!</source>
        <translation>Le nouveau statut n'est pas compatible « UTF-8 sans BOM » !</translation>
    </message>
    <message>
        <source>Change message state</source>
        <translation>Changer le statut</translation>
    </message>
    <message>
        <source>Name could not be changed with Error %1!</source>
        <translation>Le nom n'a pas pu être changé, erreur %1 !</translation>
    </message>
    <message>
        <source>Status could not be changed with Error %1!</source>
        <translation>Le statut n'a pas pu être changé, erreur %1 !</translation>
    </message>
    <message>
        <source>Avatar</source>
        <translation>Avatar</translation>
    </message>
    <message>
        <source>Change Avatar</source>
        <translation>Changer l'avatar</translation>
    </message>
    <message>
        <source>Apply Avatar</source>
        <translation>Appliquer l'avatar</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Fermer</translation>
    </message>
    <message>
        <source>Images (</source>
        <translation>Images (</translation>
    </message>
    <message>
        <source>;;Portable Network Graphics (*.png);;All files (**)</source>
        <translation>;;Portable Network Graphics (*.png);;Tous les fichiers (**)</translation>
    </message>
    <message>
        <source>Select Avatar</source>
        <translation>Choisir un avatar</translation>
    </message>
    <message>
        <source>Can't load Avatar</source>
        <translation>Impossible de charger l'avatar</translation>
    </message>
    <message>
        <source>Error uploading Avatar</source>
        <translation>Erreur lors de l'envoi de l'avatar</translation>
    </message>
    <message>
        <source>The new name is longer than %1 characters!</source>
        <translation>Le nouveau nom fait plus de %1 caractères !</translation>
    </message>
    <message>
        <source>The new message state is longer than %1 characters! Characters such as ä, € or &amp; count as several.</source>
        <translation>Le nouveau statut fait plus de %1 caractères ! Des caractères comme ä, € ou &amp; comptent pour plusieurs.</translation>
    </message>
    <message>
        <source>a name has %1 to %2 characters and no line break.</source>
        <translation>un nom a de %1 à %2 caractères et aucun saut de ligne.</translation>
    </message>
    <message>
        <source>a status message has at most %1 characters and no line break.</source>
        <translation>un statut a au plus %1 caractères et aucun saut de ligne.</translation>
    </message>
    <message>
        <source>Your new name %1 was saved, but your status message was not changed.</source>
        <translation>Votre nouveau nom %1 a été enregistré, mais votre statut n'a pas été changé.</translation>
    </message>
</context>
<context>
    <name>frmProfileInfo</name>
    <message>
        <source>Profile Info</source>
        <translation>Infos du profil</translation>
    </message>
    <message>
        <source>Account:</source>
        <translation>Compte :</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>Nom :</translation>
    </message>
    <message>
        <source>Status:</source>
        <translation>Statut :</translation>
    </message>
    <message>
        <source>Contacts:</source>
        <translation>Contacts :</translation>
    </message>
    <message>
        <source>Clients:</source>
        <translation>Clients :</translation>
    </message>
    <message>
        <source>Show Clients</source>
        <translation>Afficher les clients</translation>
    </message>
    <message>
        <source>Signature: Regular</source>
        <translation>Signature : Normale</translation>
    </message>
    <message>
        <source>&lt;img src=":/gui/ZeltoMessengerAvatar.png" height="128" width="128"/&gt;</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Account: %1</source>
        <translation>Compte : %1</translation>
    </message>
    <message>
        <source>Name: %1</source>
        <translation>Nom : %1</translation>
    </message>
    <message>
        <source>Contacts: %1</source>
        <translation>Contacts : %1</translation>
    </message>
    <message>
        <source>Regular</source>
        <translation>Normale</translation>
    </message>
    <message>
        <source>Gold</source>
        <translation>Or</translation>
    </message>
    <message>
        <source>Silver</source>
        <translation>Argent</translation>
    </message>
    <message>
        <source>Bronze</source>
        <translation>Bronze</translation>
    </message>
    <message>
        <source>Signature: %1</source>
        <translation>Signature : %1</translation>
    </message>
    <message>
        <source>Status: %1</source>
        <translation>Statut : %1</translation>
    </message>
    <message>
        <source>Clients: %1</source>
        <translation>Clients : %1</translation>
    </message>
    <message>
        <source>Clients</source>
        <translation>Clients</translation>
    </message>
    <message>
        <source>Clients of %1</source>
        <translation>Clients de %1</translation>
    </message>
    <message>
        <source>System</source>
        <translation>Système</translation>
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
        <translation>Mise à jour de Zelto Messenger</translation>
    </message>
    <message>
        <source>Zelto Messenger update is available</source>
        <translation>Une mise à jour de Zelto Messenger est disponible</translation>
    </message>
    <message>
        <source>Your Version:</source>
        <translation>Votre version :</translation>
    </message>
    <message>
        <source>New Version:</source>
        <translation>Nouvelle version :</translation>
    </message>
    <message>
        <source>Install Update</source>
        <translation>Installer la mise à jour</translation>
    </message>
    <message>
        <source>Not Update now</source>
        <translation>Pas maintenant</translation>
    </message>
    <message>
        <source>Disable Update notification</source>
        <translation>Désactiver la notification de mise à jour</translation>
    </message>
    <message>
        <source>No valid new version is known yet.</source>
        <translation>Aucune nouvelle version valide n'est encore connue.</translation>
    </message>
    <message>
        <source>The updater %1 could not be started. Please install the update by hand.</source>
        <translation>Le programme de mise à jour %1 n'a pas pu être lancé. Veuillez installer la mise à jour à la main.</translation>
    </message>
</context>
<context>
    <name>Startup</name>
    <message>
        <source>Zelto Messenger is already running but does not answer.</source>
        <translation>Zelto Messenger est déjà lancé mais ne répond pas.</translation>
    </message>
    <message>
        <source>Usage: %1 [options]</source>
        <translation>Utilisation : %1 [options]</translation>
    </message>
    <message>
        <source>Instant messenger for Zelto Messenger accounts.</source>
        <translation>Messagerie instantanée pour les comptes Zelto Messenger.</translation>
    </message>
    <message>
        <source>Options:</source>
        <translation>Options :</translation>
    </message>
    <message>
        <source>Start with the main window minimised</source>
        <translation>Démarrer avec la fenêtre principale réduite</translation>
    </message>
    <message>
        <source>Go back to the system&apos;s widget style</source>
        <translation>Revenir au style du système</translation>
    </message>
    <message>
        <source>Accepted for older start entries; has no effect</source>
        <translation>Accepté pour les anciens lanceurs ; sans effet</translation>
    </message>
    <message>
        <source>Show this help and exit</source>
        <translation>Afficher cette aide et quitter</translation>
    </message>
    <message>
        <source>Show the version and exit</source>
        <translation>Afficher la version et quitter</translation>
    </message>
    <message>
        <source>Starting the program again while it runs brings its window to the front.</source>
        <translation>Relancer le programme pendant qu’il tourne fait passer sa fenêtre au premier plan.</translation>
    </message>
</context>
<context>
    <name>ActionResult</name>
    <message>
        <source>The connection to the server is lost, so nothing was sent. Please try again when you are online.</source>
        <translation>La connexion au serveur est perdue, rien n'a donc été envoyé. Veuillez réessayer une fois en ligne.</translation>
    </message>
    <message>
        <source>The server did not answer in time. Please try again.</source>
        <translation>Le serveur n'a pas répondu à temps. Veuillez réessayer.</translation>
    </message>
    <message>
        <source>The server did not accept the value: %1</source>
        <translation>Le serveur n'a pas accepté la valeur : %1</translation>
    </message>
    <message>
        <source>The server did not accept the value.</source>
        <translation>Le serveur n'a pas accepté la valeur.</translation>
    </message>
    <message>
        <source>There were too many changes in a short time. Please wait a minute and try again.</source>
        <translation>Il y a eu trop de changements en peu de temps. Veuillez patienter une minute et réessayer.</translation>
    </message>
    <message>
        <source>The server refused the change.</source>
        <translation>Le serveur a refusé la modification.</translation>
    </message>
</context>
</TS>