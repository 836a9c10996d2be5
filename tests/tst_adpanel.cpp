// The advertisement panel against a web server on 127.0.0.1: ordinary
// pages show, failed fetches leave it empty, hostile pages load nothing
// (what of a page is kept: tst_core).
// hostilePages runs again under strace (opens-nothing.sh), which fails if
// anything in $TALVERO_CANARY was opened.
#include "fakes/Fakes.h"
#include "ui/AdPanel.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTextBlock>
#include <QTimer>

namespace {

// Answers each path with fixed bytes; "/trickle" sends a byte every 50 ms,
// unknown paths get no answer at all.
struct TinyServer : QObject {
    TinyServer()
    {
        listening = server.listen(QHostAddress::LocalHost);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *socket = server.nextPendingConnection();
            ++connections;
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                const QByteArray path = socket->readAll().split(' ').value(1);
                if (path == "/trickle") {
                    socket->write("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
                    auto *drip = new QTimer(socket);
                    connect(drip, &QTimer::timeout, socket, [socket] { socket->write("x"); });
                    drip->start(50);
                } else if (replies.contains(path)) {
                    socket->write(replies.value(path));
                    socket->disconnectFromHost();
                }
            });
        });
    }
    QUrl url(const QString &path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server.serverPort()).arg(path));
    }
    void page(const QByteArray &path, const QByteArray &body)
    {
        replies[path] = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: "
                        + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    }
    QTcpServer server;
    bool listening = false;
    int connections = 0;
    QHash<QByteArray, QByteArray> replies;
};

bool navigate(AdPanel &panel, const QUrl &url)
{
    QSignalSpy done(&panel, &AdPanel::navigationFinished);
    panel.Navigate2(url);
    return (!done.isEmpty() || done.wait(15000)) && done.first().first().toBool();
}

} // namespace

class TestAdPanel : public QObject
{
    Q_OBJECT

private slots:
    void ordinaryPageShowsAndLinksOpenInTheBrowser()
    {
        TinyServer web;
        QVERIFY(web.listening);
        web.page(
            "/ads/ad.htm",
            "<html><head><meta charset=\"gbk\"><title>t</title></head><body><b><font color=red>"
                + gb18030("免费")
                + "</font></b> <a href='offer.htm'>novels</a><a "
                  "href='javascript:alert(1)'>!</a></body></html>");
        web.replies["/moved"] =
            "HTTP/1.1 302 Found\r\nLocation: /ads/ad.htm\r\nContent-Length: 0\r\n\r\n";
        FakeShell shell;
        AdPanel panel(shell);
        QVERIFY(navigate(panel, web.url("/moved")));
        QCOMPARE(panel.toPlainText(), QString("免费 novels!"));
        QVERIFY(panel.toHtml().contains("#ff0000"));
        for (QTextBlock b = panel.document()->begin(); b.isValid(); b = b.next()) {
            for (auto it = b.begin(); !it.atEnd(); ++it) // each link as the page has it
                emit panel.anchorClicked(QUrl(it.fragment().charFormat().anchorHref()));
        }
        QCOMPARE(shell.opened, QList<QUrl>{web.url("/ads/offer.htm")});
        QCOMPARE(AdPanel::defaultUrl().path(), QString("/ads/talvero_ads.htm"));
    }

    void failedFetchesLeaveItEmpty_data()
    {
        QTest::addColumn<QString>("path"); // on the server, or a whole address
        QTest::newRow("bigger than 1 MiB") << "/big";
        QTest::newRow("redirect to a file") << "/tofile";
        QTest::newRow("never answers") << "/silent";
        QTest::newRow("a byte at a time") << "/trickle";
        QTest::newRow("no server") << "http://127.0.0.1:1/ads/talvero_ads.htm";
        QTest::newRow("not the web") << "file:///etc/passwd";
    }

    void failedFetchesLeaveItEmpty()
    {
        QFETCH(QString, path);
        TinyServer web;
        QVERIFY(web.listening);
        web.page("/ok", "<p>fine</p>");
        web.page("/big", QByteArray(2 * 1024 * 1024, 'x'));
        web.replies["/tofile"] =
            "HTTP/1.1 302 Found\r\nLocation: file:///etc/passwd\r\nContent-Length: 0\r\n\r\n";
        FakeShell shell;
        AdPanel panel(shell);
        panel.setTimeoutMs(400);
        QVERIFY(navigate(panel, web.url("/ok")));
        QVERIFY(!navigate(panel, path.startsWith('/') ? web.url(path) : QUrl(path)));
        QCOMPARE(panel.toPlainText(), QString());
    }

    void hostilePages()
    {
        const QByteArray bait = qEnvironmentVariableIsEmpty("TALVERO_CANARY")
                                    ? "/nonexistent"
                                    : qgetenv("TALVERO_CANARY");
        const QByteArray page =
            QByteArray(
                "<p>pic</p><img src='file://$/file.txt'><img src='$/file.txt'><img src='$/fifo'>"
                "<link rel=stylesheet href='file://$/file.txt'><style>@import url($/file.txt);"
                "</style><table background='$/file.txt'><tr><td>"
                "<div style='background-image:url($/fifo)'>s</div>")
                .replace("$", bait);
        TinyServer web, elsewhere; // the panel must fetch nothing else
        QVERIFY(web.listening);
        QVERIFY(elsewhere.listening);
        web.page("/ads/talvero_ads.htm",
                 page + "<img src=\"" + elsewhere.url("/x.png").toEncoded() + "\">");
        FakeShell shell;
        AdPanel panel(shell);
        panel.resize(1287, 60);
        panel.show();
        QVERIFY(navigate(panel, web.url("/ads/talvero_ads.htm")));
        QTest::qWait(50); // laid out and painted
        QCOMPARE(panel.toPlainText(), QString("pic\ns\n"));
        QVERIFY(!panel.toHtml().contains("<img"));
        QCOMPARE(elsewhere.connections, 0);
    }
};

QTEST_MAIN(TestAdPanel)
#include "tst_adpanel.moc"
