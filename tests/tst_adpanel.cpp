// The advertisement panel against a web server on 127.0.0.1: ordinary
// pages show, failed fetches leave it empty, hostile pages are reduced.
// hostilePages runs again under strace (opens-nothing.sh), which fails the
// test if anything in $TALVERO_CANARY was opened.
#include "fakes/Fakes.h"
#include "ui/AdPageFilter.h"
#include "ui/AdPanel.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTextBlock>
#include <QTextTable>
#include <QTimer>

namespace {

// Answers each path with fixed bytes; "/trickle" sends a byte every 50 ms,
// unknown paths get no answer at all.
struct TinyServer : QObject {
    TinyServer()
    {
        listening = server.listen(QHostAddress::LocalHost);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
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
            }
        });
    }
    QUrl url(const char *path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server.serverPort()).arg(path));
    }
    void page(const QByteArray &path, const QByteArray &body)
    {
        replies[path] = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: "
                        + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    }
    void redirect(const QByteArray &path, const QByteArray &to)
    {
        replies[path] = "HTTP/1.1 302 Found\r\nLocation: " + to + "\r\nContent-Length: 0\r\n\r\n";
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

int tableDepth(QTextFrame *frame)
{
    int deepest = 0;
    for (QTextFrame *child : frame->childFrames())
        deepest = qMax(deepest, tableDepth(child));
    return deepest + (qobject_cast<QTextTable *>(frame) ? 1 : 0);
}

bool hasImage(QTextDocument *doc)
{
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().isImageFormat())
                return true;
        }
    }
    return false;
}

} // namespace

class TestAdPanel : public QObject
{
    Q_OBJECT

private slots:
    void ordinaryPagesShow();
    void failedFetchesLeaveItEmpty_data();
    void failedFetchesLeaveItEmpty();
    void hostilePages_data();
    void hostilePages();
    void linksOpenInTheBrowser();
};

void TestAdPanel::ordinaryPagesShow()
{
    TinyServer web;
    QVERIFY(web.listening);
    web.page("/ads/talvero_ads.htm", "<html><head><meta charset=\"gbk\"><title>t</title></head>"
                                     "<body><b><font color=red>" + gb18030("免费") + "</font></b> "
                                     "<a href='/offer'>novels</a></body></html>");
    web.redirect("/moved", "/ads/talvero_ads.htm");
    FakeShell shell;
    AdPanel panel(shell);
    for (const char *path : {"/ads/talvero_ads.htm", "/moved"}) {
        QVERIFY(navigate(panel, web.url(path)));
        QCOMPARE(panel.toPlainText(), QString("免费 novels"));
        QVERIFY(panel.toHtml().contains("#ff0000"));
    }
    QCOMPARE(AdPanel::defaultUrl().path(), QString("/ads/talvero_ads.htm"));
}

void TestAdPanel::failedFetchesLeaveItEmpty_data()
{
    QTest::addColumn<QString>("path");   // on the server, or a whole address
    QTest::newRow("bigger than 1 MiB") << "/big";
    QTest::newRow("redirect to a file") << "/tofile";
    QTest::newRow("never answers") << "/silent";
    QTest::newRow("a byte at a time") << "/trickle";
    QTest::newRow("no server") << "http://127.0.0.1:1/ads/talvero_ads.htm";
    QTest::newRow("not the web") << "file:///etc/passwd";
    QTest::newRow("nothing") << "";
}

void TestAdPanel::failedFetchesLeaveItEmpty()
{
    QFETCH(QString, path);
    TinyServer web;
    QVERIFY(web.listening);
    web.page("/ok", "<p>fine</p>");
    web.page("/big", QByteArray(2 * 1024 * 1024, 'x'));
    web.redirect("/tofile", "file:///etc/passwd");
    FakeShell shell;
    AdPanel panel(shell);
    panel.setTimeoutMs(400);
    QVERIFY(navigate(panel, web.url("/ok")));
    QVERIFY(!navigate(panel, path.startsWith('/') ? web.url(qPrintable(path)) : QUrl(path)));
    QCOMPARE(panel.toPlainText(), QString());
}

void TestAdPanel::hostilePages_data()
{
    const QByteArray canary = qgetenv("TALVERO_CANARY").isEmpty() ? QByteArray("/nonexistent")
                                                                  : qgetenv("TALVERO_CANARY");
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QString>("shows");
    const QByteArray nested = QByteArray("<table><tr><td>").repeated(20) + "deep";
    QTest::newRow("20 nested tables") << nested << "deep";
    QTest::newRow("4000 nested tables") << QByteArray("<table><tr><td>").repeated(4000) + "x" << "x";
    QTest::newRow("deep markup") << QByteArray("<div><b><i>").repeated(50000) + "y" << "y";
    QTest::newRow("many cells") << QByteArray("<table>" + QByteArray("<tr><td colspan=16>c</td>").repeated(3000))
                                << "c";
    QTest::newRow("local image") << "<p>pic</p><img src=\"file://" + canary + "/file.txt\">" << "pic";
    QTest::newRow("image path") << "<img src=\"" + canary + "/file.txt\">text" << "text";
    QTest::newRow("fifo image") << "<img src=\"" + canary + "/fifo\">wait" << "wait";
    QTest::newRow("local styles") << "<link rel=stylesheet href=\"file://" + canary + "/file.txt\">"
                                     "<style>@import url(" + canary + "/file.txt);</style>"
                                     "<table background=\"" + canary + "/file.txt\"><tr><td>"
                                     "<div style=\"background-image:url(" + canary + "/fifo)\">s</div>"
                                  << "s";
    QTest::newRow("scripts and frames") << QByteArray("<script>document.write('no')</script><iframe src=x>"
                                                      "no</iframe><object data=x>no</object>ok") << "ok";
}

void TestAdPanel::hostilePages()
{
    QFETCH(QByteArray, page);
    QFETCH(QString, shows);
    TinyServer web;
    TinyServer elsewhere;   // a page must not make the panel fetch anything else
    QVERIFY(web.listening && elsewhere.listening);
    web.page("/ads/talvero_ads.htm", page + "<img src=\"" + elsewhere.url("/x.png").toEncoded() + "\">");
    FakeShell shell;
    AdPanel panel(shell);
    panel.resize(1287, 60);
    panel.show();
    QVERIFY(navigate(panel, web.url("/ads/talvero_ads.htm")));
    QTest::qWait(50);   // laid out and painted
    QVERIFY(panel.toPlainText().contains(shows));
    QVERIFY(!panel.toPlainText().contains("no"));
    QVERIFY(tableDepth(panel.document()->rootFrame()) <= AdPageFilter::kMaxTableDepth);
    QVERIFY(!hasImage(panel.document()));
    QCOMPARE(elsewhere.connections, 0);
}

void TestAdPanel::linksOpenInTheBrowser()
{
    TinyServer web;
    QVERIFY(web.listening);
    web.page("/a/ad.htm", "<a href='offer.htm'>1</a><a href='javascript:alert(1)'>2</a>"
                          "<a href='file:///etc/passwd'>3</a>");
    FakeShell shell;
    AdPanel panel(shell);
    QVERIFY(navigate(panel, web.url("/a/ad.htm")));
    QStringList links;
    for (QTextBlock b = panel.document()->begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().isAnchor())
                links << it.fragment().charFormat().anchorHref();
        }
    }
    for (const QString &link : links)
        emit panel.anchorClicked(QUrl(link));
    QCOMPARE(shell.opened, QList<QUrl>{web.url("/a/offer.htm")});
}

QTEST_MAIN(TestAdPanel)
#include "tst_adpanel.moc"
