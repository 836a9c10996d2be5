#pragma once

#include <QFutureWatcher>
#include <QPointer>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;
class Shell;

// The advertisement banner. It fetches one page over http(s), at most
// kMaxBytes within kTimeoutMs of the request, redirects only to http(s),
// and shows it reduced to harmless rich text (AdPageFilter): nothing is
// loaded besides the page itself. A page that fails leaves the panel empty.
// Links open in the user's browser.
class AdPanel : public QTextBrowser
{
    Q_OBJECT

public:
    static constexpr qint64 kMaxBytes = 1024 * 1024;
    static constexpr int kTimeoutMs = 10000;
    static constexpr int kMaxRedirects = 5;

    explicit AdPanel(Shell &shell, QWidget *parent = nullptr);
    ~AdPanel() override;

    void Navigate2(const QUrl &url);
    // For tests: a shorter limit than kTimeoutMs.
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

    static QUrl defaultUrl();

signals:
    // The fetch ended; ok when the page is shown.
    void navigationFinished(bool ok);

protected:
    QVariant loadResource(int type, const QUrl &name) override;

private:
    void stopFetch();
    void onReadyRead();
    void onFinished();
    void showReduced();
    void fail();

    Shell &m_shell;
    QNetworkAccessManager *m_network;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_body;
    QTimer m_deadline;
    struct Reduced {
        quint64 generation = 0;
        QString html;
    };
    QFutureWatcher<Reduced> m_reducing;
    quint64 m_generation = 0;
    int m_timeoutMs = kTimeoutMs;
};
