#include "AdPanel.h"

#include "platform/AdPageFilter.h"
#include "platform/Shell.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QStringDecoder>
#include <QTextDocument>
#include <QtConcurrent/QtConcurrentRun>

namespace {

// The page's text only: a plain document would read local files that a
// page names, so nothing is ever loaded for it.
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

QString reducedPage(const QByteArray &body, const QUrl &base)
{
    QStringDecoder decoder = QStringDecoder::decoderForHtml(body);
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringDecoder::Utf8);
    const QString html = decoder.decode(body);
    return AdPageFilter::reduce(html, base);
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
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &AdPanel::fail);
    connect(&m_reducing, &QFutureWatcher<Reduced>::finished, this, &AdPanel::showReduced);
    connect(this, &QTextBrowser::anchorClicked, this, [this](const QUrl &link) {
        const QUrl target = document()->baseUrl().resolved(link);
        if (isWebUrl(target))
            m_shell.openUrl(target);
    });
}

AdPanel::~AdPanel()
{
    if (m_reducing.isRunning())
        m_reducing.waitForFinished();
}

QUrl AdPanel::defaultUrl()
{
    return QUrl(QStringLiteral("http://" TALVERO_WEB_HOST "/ads/talvero_ads.htm"));
}

QVariant AdPanel::loadResource(int, const QUrl &)
{
    return QVariant();
}

void AdPanel::stopFetch()
{
    m_deadline.stop();
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
        m_reply = nullptr;
    }
    m_body.clear();
}

void AdPanel::Navigate2(const QUrl &url)
{
    stopFetch();
    ++m_generation; // a page still being reduced is not shown
    clear();
    if (!isWebUrl(url)) {
        emit navigationFinished(false);
        return;
    }
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    m_reply = m_network->get(request);
    // A total limit: a server that trickles a byte at a time is cut off too.
    m_deadline.start(m_timeoutMs);
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
    m_body += m_reply->read(kMaxBytes + 1 - m_body.size());
    if (m_body.size() > kMaxBytes)
        fail();
}

void AdPanel::fail()
{
    stopFetch();
    ++m_generation;
    clear();
    emit navigationFinished(false);
}

void AdPanel::onFinished()
{
    if (!m_reply)
        return;
    if (m_reply->isOpen())
        onReadyRead();
    if (!m_reply || m_reply->error() != QNetworkReply::NoError) {
        fail();
        return;
    }
    const QUrl base = m_reply->url();
    const QByteArray body = m_body;
    stopFetch();
    // Reduced away from the window's thread: a long page costs the window
    // nothing.
    const quint64 generation = m_generation;
    m_reducing.setFuture(QtConcurrent::run([body, base, generation] {
        return Reduced{generation, reducedPage(body, base)};
    }));
}

void AdPanel::showReduced()
{
    const Reduced page = m_reducing.result();
    if (page.generation != m_generation)
        return;
    setHtml(page.html);
    emit navigationFinished(true);
}
