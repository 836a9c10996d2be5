#include "fakes/Fakes.h"
#include "ui/AdPanel.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTextDocument>

namespace {

// A web server on 127.0.0.1 that answers each path with fixed bytes, or
// never answers (an empty reply).
class TinyServer : public QObject
{
public:
    TinyServer()
    {
        QVERIFY(server.listen(QHostAddress::LocalHost));
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    const QByteArray request = socket->readAll();
                    const QByteArray path = request.split(' ').value(1);
                    const QByteArray reply = replies.value(path);
                    if (!reply.isEmpty()) {
                        socket->write(reply);
                        socket->disconnectFromHost();
                    }
                });
            }
        });
    }
    QUrl url(const char *path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server.serverPort()).arg(path));
    }
    static QByteArray page(const QByteArray &body, const QByteArray &type = "text/html")
    {
        return "HTTP/1.1 200 OK\r\nContent-Type: " + type + "\r\nContent-Length: "
               + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    }
    static QByteArray redirect(const QByteArray &location)
    {
        return "HTTP/1.1 302 Found\r\nLocation: " + location
               + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    }
    QTcpServer server;
    QHash<QByteArray, QByteArray> replies;
};

bool navigate(AdPanel &panel, const QUrl &url)
{
    QSignalSpy done(&panel, &AdPanel::navigationFinished);
    panel.Navigate2(url);
    if (done.isEmpty() && !done.wait(15000))
        return false;
    return done.first().first().toBool();
}

} // namespace

class TestAdPanel : public QObject
{
    Q_OBJECT

private slots:
    void showsThePage();
    void refusesWhatCouldHurt();
    void linksOpenInTheBrowser();
};

void TestAdPanel::showsThePage()
{
    TinyServer web;
    web.replies["/ads/talvero_ads.htm"] =
        TinyServer::page("<html><head><meta charset=\"gbk\"></head><body><b>" + QByteArray("\xC3\xE2\xB7\xD1", 4)
                         + "</b> novels</body></html>");
    web.replies["/moved"] = TinyServer::redirect("/ads/talvero_ads.htm");
    web.replies["/broken"] = TinyServer::page("<html><body><table><tr><td>half <b>open <i>tags");
    FakeShell shell;
    AdPanel panel(shell);
    QVERIFY(navigate(panel, web.url("/ads/talvero_ads.htm")));
    QCOMPARE(panel.toPlainText(), QString("免费 novels"));
    // A redirect on the web is followed.
    QVERIFY(navigate(panel, web.url("/moved")));
    QCOMPARE(panel.toPlainText(), QString("免费 novels"));
    // Broken HTML shows what it can.
    QVERIFY(navigate(panel, web.url("/broken")));
    QVERIFY(panel.toPlainText().contains("half"));
    QCOMPARE(panel.geometry().size(), QSize(640, 480).boundedTo(panel.size()));
    QVERIFY(AdPanel::defaultUrl().toString().endsWith("/ads/talvero_ads.htm"));
    QCOMPARE(AdPanel::defaultUrl().scheme(), QString("http"));
}

void TestAdPanel::refusesWhatCouldHurt()
{
    TinyServer web;
    web.replies["/ok"] = TinyServer::page("<p>fine</p>");
    web.replies["/big"] = TinyServer::page(QByteArray(2 * 1024 * 1024, 'x'));
    web.replies["/tofile"] = TinyServer::redirect("file:///etc/passwd");
    web.replies["/image"] = TinyServer::page("<p>pic</p><img src=\"file:///etc/hostname\">"
                                             "<script>alert(1)</script>");
    // "/slow" is never answered.
    FakeShell shell;
    AdPanel panel(shell);
    panel.setTimeoutMs(300);
    QVERIFY(navigate(panel, web.url("/ok")));

    QVERIFY(!navigate(panel, web.url("/big")));
    QCOMPARE(panel.toPlainText(), QString());
    QVERIFY(!navigate(panel, web.url("/tofile")));
    QCOMPARE(panel.toPlainText(), QString());
    QVERIFY(!navigate(panel, web.url("/slow")));
    QCOMPARE(panel.toPlainText(), QString());
    // No server at all, and addresses that are not web pages.
    QVERIFY(!navigate(panel, QUrl("http://127.0.0.1:1/ads/talvero_ads.htm")));
    QVERIFY(!navigate(panel, QUrl("file:///etc/passwd")));
    QVERIFY(!navigate(panel, QUrl()));

    // Scripts are text at most, and nothing local is read.
    QVERIFY(navigate(panel, web.url("/image")));
    QVERIFY(panel.toPlainText().startsWith("pic"));
    QVERIFY(panel.document()->resource(QTextDocument::ImageResource,
                                       QUrl("file:///etc/hostname")).isNull());
}

void TestAdPanel::linksOpenInTheBrowser()
{
    FakeShell shell;
    AdPanel panel(shell);
    panel.document()->setBaseUrl(QUrl("http://ads.example.com/ads/talvero_ads.htm"));
    emit panel.anchorClicked(QUrl("offer.htm"));
    emit panel.anchorClicked(QUrl("javascript:alert(1)"));
    emit panel.anchorClicked(QUrl("file:///etc/passwd"));
    QCOMPARE(shell.opened, QList<QUrl>{QUrl("http://ads.example.com/ads/offer.htm")});
}

QTEST_MAIN(TestAdPanel)
#include "tst_adpanel.moc"
