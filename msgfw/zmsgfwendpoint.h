#ifndef ZMSGFWENDPOINT_H
#define ZMSGFWENDPOINT_H

#include "zmsgfw_export.h"

#include <QList>
#include <QSslError>
#include <QString>

// Where the messaging server lives. The host and ports are deployment values compiled in;
// the environment variables ZMSGFW_HOST, ZMSGFW_PORT, ZMSGFW_AVATAR_PORT and
// ZMSGFW_AVATAR_HTTP_PORT override them, so tests can point the library at a server of their own.
namespace ZMsgFwEndpoint {

ZMSGFW_EXPORT QString host();
ZMSGFW_EXPORT quint16 messagingPort();
ZMSGFW_EXPORT quint16 avatarTlsPort();
ZMSGFW_EXPORT quint16 avatarHttpPort();
// Resource path of the pinned certificate: ":/" + compiled host + ".pem".
ZMSGFW_EXPORT QString certificateResource();
// TLS errors to ignore: the usual complaints about exactly the pinned certificate (self-signed,
// untrusted, expired, other host name). Empty when the certificate resource cannot be read.
ZMSGFW_EXPORT QList<QSslError> expectedSslErrors();

} // namespace ZMsgFwEndpoint

#endif
