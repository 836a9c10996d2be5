#include "fakes/TestFiles.h"
#include "fakes/WindowHarness.h"
#include "platform/RichTextView.h"
#include "ui/AdPanel.h"
#include "ui/ToolbarControls.h"

#include <QAccessible>
#include <QComboBox>
#include <QScrollBar>
#include <QTest>

namespace {

QAccessibleInterface *accessible(QObject *object)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(object);
    if (!iface)
        qFatal("no accessible interface for %s", object->metaObject()->className());
    return iface;
}

// Presses through the accessible action; the command runs from the event
// loop, as it does for a caller on the accessibility bus.
void press(QObject *button)
{
    accessible(button)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCoreApplication::processEvents();
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT

private slots:
    void everyControlIsNamed();
    void toolbarButtonsPressLikeClicks();
    void viewExposesWholeTextAndCaret();
};

void TestAccessibility::everyControlIsNamed()
{
    WindowHarness h;
    h.start();
    frmMain &w = *h.window;
    QCOMPARE(accessible(&w)->text(QAccessible::Name), QString("Talvero"));
    // A list is named by its label (its own name is its current entry).
    QAccessibleInterface *list = accessible(w.cmbLanguage);
    QCOMPARE(list->text(QAccessible::Description), QString("语音"));
    const auto labels = list->relations(QAccessible::Label);
    QCOMPARE(labels.size(), 1);
    QCOMPARE(labels.first().first->text(QAccessible::Name), QString("语音"));
    QCOMPARE(accessible(w.labCaption)->text(QAccessible::Name), QString("中文男声语音包下载"));
    QCOMPARE(accessible(w.webads)->text(QAccessible::Name), QString("广告"));
    QVERIFY(!accessible(w.webads)->state().focusable);
    const QStringList tips = {"上一页", "下一页", "打开文件", "关闭文件",
                              "自动翻页", "字体大小", "语音阅读", "语音设置"};
    for (int i = 0; i < 8; ++i) {
        QAccessibleInterface *button = accessible(w.img[size_t(i)]);
        QCOMPARE(button->role(), QAccessible::Button);
        QCOMPARE(button->text(QAccessible::Name), tips[i]);
        QCOMPARE(button->state().checkable, i == 4 || i == 6);
        QCOMPARE(button->actionInterface()->actionNames(),
                 QStringList{QAccessibleActionInterface::pressAction()});
    }
}

void TestAccessibility::toolbarButtonsPressLikeClicks()
{
    WindowHarness h;
    const QString doc = h.file("a.txt");
    QString text;
    for (int i = 0; i < 300; ++i)
        text += QStringLiteral("第%1行，天下大势。\n").arg(i);
    writeFile(doc, gb18030(text));
    h.start();
    frmMain &w = *h.window;
    h.dialogs.files = {doc};
    press(w.img[2]);
    QCOMPARE(w.rtb->Text(), text);
    press(w.img[1]);
    QVERIFY(w.rtb->verticalScrollBar()->value() > 0);
    QCOMPARE(w.img[1]->BorderStyle(), 0);

    // The toggles report their mode as checked, whoever switched it.
    QAccessibleInterface *speech = accessible(w.img[6]);
    QVERIFY(!speech->state().checked);
    h.dialogs.menuChoices = {3};
    press(w.img[6]);
    QCOMPARE(w.state.ReadingFlag, qint16(1));
    QVERIFY(speech->state().checked);
    QCOMPARE(w.img[6]->BorderStyle(), 1);
    h.dialogs.menuChoices = {3};
    h.tray.click(0x0204);   // the tray's "语音阅读" stops it
    QVERIFY(!speech->state().checked);
    h.dialogs.menuChoices = {2};
    press(w.img[4]);
    QVERIFY(accessible(w.img[4])->state().checked);
    press(w.img[4]);
    QVERIFY(!accessible(w.img[4])->state().checked);
    // Font size through its button, with the menu.
    h.dialogs.menuChoices = {18};
    press(w.img[5]);
    QCOMPARE(w.rtb->font().pointSize(), 18);
}

void TestAccessibility::viewExposesWholeTextAndCaret()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("big.txt");
    QString text;
    for (int i = 0; i < 150000; ++i)
        text += QStringLiteral("第%1段 话说天下大势，分久必合。\n").arg(i);
    writeFile(path, text.toUtf8());
    RichTextView view;
    view.resize(400, 300);
    view.show();
    QAccessibleTextInterface *iface = accessible(&view)->textInterface();
    QVERIFY(iface);
    QVERIFY(view.LoadFile(path));
    const qint32 deep = qint32(text.size() - 100);
    view.setSelStart(deep);
    QTRY_VERIFY(view.document()->characterCount() > 1);
    // While the rest still arrives: offsets are those of the whole text.
    QCOMPARE(iface->characterCount(), int(text.size()));
    QCOMPARE(iface->cursorPosition(), deep);
    QCOMPARE(iface->text(deep, deep + 4), text.mid(deep, 4));
    QVERIFY(!iface->characterRect(deep).isEmpty());
    iface->setCursorPosition(12);
    QCOMPARE(view.SelStart(), 12);
    QTRY_VERIFY_WITH_TIMEOUT(!view.isLoading(), 30000);
    QCOMPARE(iface->cursorPosition(), 12);
    QCOMPARE(iface->text(0, 3), text.left(3));
    const QRect r = iface->characterRect(12);
    QCOMPARE(iface->offsetAtPoint(r.center()) / 2, 12 / 2);
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
