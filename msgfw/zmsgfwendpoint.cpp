#include "zmsgfwendpoint.h"

#include <QSslCertificate>
#include <QtGlobal>

namespace {

quint16 portFromEnvironment(const char *name, quint16 defaultPort)
{
    bool ok = false;
    const int port = qEnvironmentVariableIntValue(name, &ok);
    return ok && port > 0 && port <= 65535 ? quint16(port) : defaultPort;
}

} // namespace

namespace ZMsgFwEndpoint {

QString host()
{
    const QString overridden = qEnvironmentVariable("ZMSGFW_HOST");
    return overridden.isEmpty() ? QStringLiteral(ZM_SERVER_HOST) : overridden;
}

quint16 messagingPort()
{
    return portFromEnvironment("ZMSGFW_PORT", 9506);
}

quint16 avatarTlsPort()
{
    return portFromEnvironment("ZMSGFW_AVATAR_PORT", 9507);
}

quint16 avatarHttpPort()
{
    return portFromEnvironment("ZMSGFW_AVATAR_HTTP_PORT", 9508);
}

QString certificateResource()
{
    return QStringLiteral(":/") + QStringLiteral(ZM_SERVER_HOST) + QStringLiteral(".pem");
}

QList<QSslError> expectedSslErrors()
{
    const QList<QSslCertificate> certificates =
        QSslCertificate::fromPath(certificateResource(), QSsl::Pem, QSslCertificate::PatternSyntax::FixedString);
    QList<QSslError> errors;
    if (certificates.isEmpty())
        return errors;
    const QSslCertificate &pinned = certificates.first();
    for (QSslError::SslError kind :
         {QSslError::HostNameMismatch, QSslError::SelfSignedCertificate, QSslError::UnableToGetLocalIssuerCertificate,
          QSslError::CertificateUntrusted, QSslError::UnableToVerifyFirstCertificate, QSslError::CertificateExpired})
        errors.append(QSslError(kind, pinned));
    return errors;
}

} // namespace ZMsgFwEndpoint
