#pragma once

#include <QPointer>
#include <QTextBrowser>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;
class Shell;

// The advertisement banner. It fetches one page over http(s) and shows it
// as rich text: no scripts, no plugins, nothing from local files, at most
// kMaxBytes, kTimeoutMs to arrive, redirects only to http(s). A page that
// fails leaves the panel empty. Links open in the user's browser.
class AdPanel : public QTextBrowser
{
    Q_OBJECT

public:
    static constexpr qint64 kMaxBytes = 1024 * 1024;
    static constexpr int kTimeoutMs = 10000;
    static constexpr int kMaxRedirects = 5;

    AdPanel(Shell &shell, QWidget *parent = nullptr);

    void Navigate2(const QUrl &url);
    // For tests: a shorter time-out than kTimeoutMs.
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

    static QUrl defaultUrl();

signals:
    // The fetch ended; ok when the page is shown.
    void navigationFinished(bool ok);

private:
    void onReadyRead();
    void onFinished();
    void fail();

    Shell &m_shell;
    QNetworkAccessManager *m_network;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_body;
    int m_timeoutMs = kTimeoutMs;
};
