#include "AdPanel.h"

#include "platform/Shell.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QStringDecoder>
#include <QTextDocument>

namespace {

// The page's text only: nothing is loaded besides the page, no local file
// and no image from elsewhere. (A plain document would read local files
// that the page names.)
class PageOnlyDocument : public QTextDocument
{
public:
    using QTextDocument::QTextDocument;

protected:
    QVariant loadResource(int, const QUrl &) override { return QVariant(); }
};

bool isWebUrl(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}
} // namespace

AdPanel::AdPanel(Shell &shell, QWidget *parent)
    : QTextBrowser(parent), m_shell(shell), m_network(new QNetworkAccessManager(this))
{
    setDocument(new PageOnlyDocument(this));
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(this, &QTextBrowser::anchorClicked, this, [this](const QUrl &link) {
        const QUrl target = document()->baseUrl().resolved(link);
        if (isWebUrl(target))
            m_shell.openUrl(target);
    });
}

QUrl AdPanel::defaultUrl()
{
    return QUrl(QStringLiteral("http://" TALVERO_WEB_HOST "/ads/talvero_ads.htm"));
}

void AdPanel::Navigate2(const QUrl &url)
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
    m_body.clear();
    clear();
    if (!isWebUrl(url)) {
        emit navigationFinished(false);
        return;
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(m_timeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    m_reply = m_network->get(request);
    connect(m_reply, &QNetworkReply::redirected, this, [this](const QUrl &target) {
        // Not following it ends the reply with an error: an empty panel.
        if (isWebUrl(target))
            emit m_reply->redirectAllowed();
    });
    connect(m_reply, &QNetworkReply::readyRead, this, &AdPanel::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &AdPanel::onFinished);
}

void AdPanel::onReadyRead()
{
    if (!m_reply)
        return;
    m_body += m_reply->readAll();
    if (m_body.size() > kMaxBytes)
        fail();
}

void AdPanel::fail()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
        m_reply = nullptr;
    }
    m_body.clear();
    clear();
    emit navigationFinished(false);
}

void AdPanel::onFinished()
{
    if (!m_reply)
        return;
    if (m_reply->isOpen())
        m_body += m_reply->readAll();
    const bool ok = m_reply->error() == QNetworkReply::NoError && m_body.size() <= kMaxBytes;
    if (!ok) {
        fail();
        return;
    }
    const QUrl base = m_reply->url();
    m_reply->deleteLater();
    m_reply = nullptr;
    QStringDecoder decoder = QStringDecoder::decoderForHtml(m_body);
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringDecoder::Utf8);
    const QString html = decoder.decode(m_body);
    m_body.clear();
    document()->setBaseUrl(base);
    setHtml(html);
    emit navigationFinished(true);
}
