#include "sync/DavTransport.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslError>
#include <QTimer>

namespace quennet::sync {

namespace {

constexpr int kMaxRedirects = 5;

QString where(const QUrl &url)
{
    return url.toDisplayString(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment);
}

QString hostAndPort(const QUrl &url)
{
    const int port = url.port(url.scheme() == QLatin1String("https") ? 443 : 80);
    return QStringLiteral("%1:%2").arg(url.host()).arg(port);
}

QString sslReason(const QSslError &error)
{
    switch (error.error()) {
    case QSslError::SelfSignedCertificate:
        return QStringLiteral("证书是自签名的");
    case QSslError::SelfSignedCertificateInChain:
        return QStringLiteral("证书链中有不受信任的自签名证书");
    case QSslError::CertificateExpired:
        return QStringLiteral("证书已过期");
    case QSslError::CertificateNotYetValid:
        return QStringLiteral("证书尚未生效");
    case QSslError::HostNameMismatch:
        return QStringLiteral("证书不属于这个主机名");
    case QSslError::CertificateRevoked:
        return QStringLiteral("证书已被吊销");
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
        return QStringLiteral("证书的签发者不受信任");
    case QSslError::CertificateUntrusted:
        return QStringLiteral("证书不受信任");
    case QSslError::NoPeerCertificate:
        return QStringLiteral("服务器没有出示证书");
    default:
        return QStringLiteral("证书无效（%1）").arg(error.errorString());
    }
}

QString networkReason(QNetworkReply::NetworkError error, const QUrl &url, const QString &detail)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("连接被拒绝");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("找不到主机 %1").arg(url.host());
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("服务器中途断开了连接");
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
        return QStringLiteral("网络不可用");
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
        return QStringLiteral("无法连接代理服务器");
    default:
        return QStringLiteral("网络错误（%1）").arg(detail);
    }
}

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

} // namespace

DavError errorForStatus(int status, const QUrl &url)
{
    if (status >= 200 && status < 300)
        return {};
    switch (status) {
    case 401:
        return DavError::make(DavError::Unauthorized, QStringLiteral("服务器拒绝了用户名或密码（401）。"),
                              status);
    case 403:
        return DavError::make(DavError::Forbidden,
                              QStringLiteral("服务器不允许访问 %1（403）。").arg(where(url)), status);
    case 404:
    case 410:
        return DavError::make(DavError::NotFound,
                              QStringLiteral("服务器上找不到 %1（%2）。").arg(where(url)).arg(status),
                              status);
    case 412:
        return DavError::make(DavError::PreconditionFailed,
                              QStringLiteral("服务器上的名片 %1 已在别处修改（412）。").arg(where(url)),
                              status);
    default:
        break;
    }
    if (status >= 500 && status < 600)
        return DavError::make(DavError::ServerError,
                              QStringLiteral("服务器出错（%1），请稍后再试。").arg(status), status);
    return DavError::make(DavError::HttpError,
                          QStringLiteral("服务器的应答出乎意料（HTTP %1）。").arg(status), status);
}

DavTransport::DavTransport(ServerAccount account)
    : m_account(std::move(account)), m_manager(new QNetworkAccessManager)
{
    // Every answer comes from the server, never from a cache; credentials
    // are ours to send, never remembered by the manager.
    m_manager->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    m_manager->setAutoDeleteReplies(false);
}

DavTransport::~DavTransport()
{
    delete m_manager;
}

bool DavTransport::isLocalHost(const QString &host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 ||
        host.endsWith(QLatin1String(".localhost"), Qt::CaseInsensitive))
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

DavError DavTransport::checkUrl(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("https") && scheme != QLatin1String("http")))
        return DavError::make(DavError::BadUrl, QStringLiteral("服务器地址无效：%1。地址应以 https:// 开头。")
                                                    .arg(url.toDisplayString(QUrl::RemoveUserInfo)));
    if (scheme == QLatin1String("http") && !isLocalHost(url.host()))
        return DavError::make(
            DavError::Insecure,
            QStringLiteral("不以明文 HTTP 连接其他计算机（%1）：请使用 https:// 地址。").arg(url.host()));
    return {};
}

bool DavTransport::sameOrigin(const QUrl &url) const
{
    const QUrl &own = m_account.url;
    const auto port = [](const QUrl &u) { return u.port(u.scheme() == QLatin1String("https") ? 443 : 80); };
    return url.scheme() == own.scheme() && url.host().compare(own.host(), Qt::CaseInsensitive) == 0 &&
           port(url) == port(own);
}

void DavTransport::cancel()
{
    m_cancelled = true;
    if (m_current)
        m_current->abort();
}

DavError DavTransport::send(const DavRequest &request, DavReply *reply)
{
    m_cancelled = false;
    DavRequest hop = request;
    for (int redirects = 0;; ++redirects) {
        if (DavError refused = checkUrl(hop.url); !refused.ok())
            return refused;
        *reply = DavReply();
        if (DavError failed = sendOnce(hop, reply); !failed.ok())
            return failed;
        if (!isRedirect(reply->status) || reply->location.isEmpty())
            return {};
        if (redirects == kMaxRedirects)
            return DavError::make(DavError::HttpError,
                                  QStringLiteral("服务器的转向太多（%1）。").arg(where(request.url)),
                                  reply->status);
        const QUrl next = hop.url.resolved(QUrl::fromEncoded(reply->location));
        if (hop.url.scheme() == QLatin1String("https") && next.scheme() != QLatin1String("https"))
            return DavError::make(
                DavError::Insecure,
                QStringLiteral("服务器把 HTTPS 连接转向了不加密的地址（%1）。").arg(where(next)));
        hop.url = next;
    }
}

DavError DavTransport::sendOnce(const DavRequest &request, DavReply *out)
{
    QNetworkRequest http(request.url);
    http.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    http.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    http.setAttribute(QNetworkRequest::AuthenticationReuseAttribute, QNetworkRequest::Manual);
    http.setRawHeader("User-Agent", "Quennet");
    if (!request.body.isEmpty() || !request.contentType.isEmpty())
        http.setHeader(QNetworkRequest::ContentTypeHeader, request.contentType);
    for (const auto &header : request.headers)
        http.setRawHeader(header.first, header.second);
    if (!m_account.user.isEmpty() && sameOrigin(request.url))
        http.setRawHeader("Authorization",
                          "Basic " +
                              (m_account.user + QLatin1Char(':') + m_account.password).toUtf8().toBase64());

    QNetworkReply *reply = m_manager->sendCustomRequest(http, request.method, request.body);
    m_current = reply;
    QByteArray body;
    bool tooLarge = false, timedOut = false;
    QList<QSslError> sslErrors;
    QEventLoop loop;
    QTimer silence;
    silence.setSingleShot(true);
    const auto overCap = [&](qint64 bytes) {
        if (bytes <= m_maxBytes)
            return false;
        tooLarge = true;
        reply->abort();
        return true;
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop, [&] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid())
            overCap(length.toLongLong());
    });
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
        silence.start(m_timeoutMs);
        if (!overCap(body.size() + reply->bytesAvailable()))
            body += reply->readAll();
    });
    QObject::connect(reply, &QNetworkReply::uploadProgress, &loop, [&] { silence.start(m_timeoutMs); });
    QObject::connect(reply, &QNetworkReply::sslErrors, &loop,
                     [&](const QList<QSslError> &errors) { sslErrors = errors; });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&silence, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        reply->abort();
    });
    silence.start(m_timeoutMs);
    if (!reply->isFinished() && !m_cancelled)
        loop.exec();
    if (m_cancelled && !reply->isFinished())
        reply->abort();
    if (!tooLarge && !timedOut && !m_cancelled && !overCap(body.size() + reply->bytesAvailable()))
        body += reply->readAll();

    out->url = request.url;
    out->status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    out->body = std::move(body);
    out->etag = reply->rawHeader("ETag");
    out->location = reply->rawHeader("Location");
    const QNetworkReply::NetworkError error = reply->error();
    const QString detail = reply->errorString();
    m_current = nullptr;
    // Gone at once: wab runs no event loop of its own that would see a
    // deferred delete, and a sync sends thousands of requests.
    delete reply;

    if (m_cancelled)
        return DavError::make(DavError::Cancelled, QStringLiteral("同步已取消。"));
    if (tooLarge)
        return DavError::make(DavError::TooLarge, QStringLiteral("服务器的应答超过 %1 MB，已停止读取（%2）。")
                                                      .arg(m_maxBytes / (1024 * 1024))
                                                      .arg(where(request.url)));
    if (timedOut || error == QNetworkReply::TimeoutError)
        return DavError::make(DavError::Timeout, QStringLiteral("服务器 %1 在 %2 秒内没有应答。")
                                                     .arg(hostAndPort(request.url))
                                                     .arg(m_timeoutMs / 1000.0));
    if (!sslErrors.isEmpty() || error == QNetworkReply::SslHandshakeFailedError) {
        QStringList reasons;
        for (const QSslError &e : sslErrors)
            if (!reasons.contains(sslReason(e)))
                reasons << sslReason(e);
        if (reasons.isEmpty())
            reasons << QStringLiteral("加密握手失败（%1）").arg(detail);
        return DavError::make(DavError::Certificate,
                              QStringLiteral("服务器 %1 的证书未通过验证，已拒绝连接：%2。")
                                  .arg(request.url.host(), reasons.join(QStringLiteral("；"))));
    }
    if (out->status == 0)
        return DavError::make(DavError::Offline,
                              QStringLiteral("无法连接到服务器 %1：%2。请检查网络和服务器地址。")
                                  .arg(hostAndPort(request.url), networkReason(error, request.url, detail)));
    return {};
}

} // namespace quennet::sync
