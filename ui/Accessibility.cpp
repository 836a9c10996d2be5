#include "Accessibility.h"

#include "platform/RichTextView.h"
#include "ui/ToolbarControls.h"

#include <QAccessibleWidget>

namespace {

const QString kPress = QAccessibleActionInterface::pressAction();

// A toolbar click area is a push button named by its tool-tip; pressing it
// runs the same events as a click with the mouse.
class ToolbarImageAccessible : public QAccessibleWidget
{
public:
    explicit ToolbarImageAccessible(ToolbarImage *image)
        : QAccessibleWidget(image, QAccessible::Button)
    {}

    ToolbarImage *image() const { return static_cast<ToolbarImage *>(widget()); }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return image()->toolTip();
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.focusable = false;
        if (image()->isToggle()) {
            s.checkable = true;
            s.checked = image()->isChecked();
        }
        s.pressed = image()->BorderStyle() == 1 && !image()->isToggle();
        return s;
    }

    QStringList actionNames() const override { return {kPress}; }

    void doAction(const QString &name) override
    {
        // Later, from the event loop: a command may wait in a menu or a
        // question, and the caller must not wait for that.
        if (name == kPress)
            QMetaObject::invokeMethod(image(), &ToolbarImage::click, Qt::QueuedConnection);
    }

    QStringList keyBindingsForAction(const QString &) const override { return {}; }
};

// The document view as text: offsets and the caret are those of the whole
// document.
class RichTextViewAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit RichTextViewAccessible(RichTextView *view)
        : QAccessibleWidget(view, QAccessible::EditableText)
    {}

    RichTextView *view() const { return static_cast<RichTextView *>(widget()); }

    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        s.multiLine = true;
        s.selectableText = true;
        return s;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return QString(); // the text goes through the text interface
        return QAccessibleWidget::text(t);
    }

    // QAccessibleTextInterface
    void selection(int selectionIndex, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = 0;
        const int anchor = int(view()->selectionAnchor()), caret = view()->SelStart();
        if (selectionIndex == 0 && anchor != caret && !view()->isDecoding()) {
            *startOffset = qMin(anchor, caret);
            *endOffset = qMax(anchor, caret);
        }
    }
    int selectionCount() const override
    {
        return !view()->isDecoding() && int(view()->selectionAnchor()) != view()->SelStart();
    }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return view()->SelStart(); }
    void setCursorPosition(int position) override { view()->setSelStart(position); }
    QString text(int startOffset, int endOffset) const override
    {
        const QString whole = view()->Text();
        startOffset = qBound(0, startOffset, int(whole.size()));
        endOffset = endOffset < 0 ? int(whole.size())
                                  : qBound(startOffset, endOffset, int(whole.size()));
        return whole.mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(view()->Text().size()); }
    QRect characterRect(int offset) const override
    {
        if (view()->localPosition(offset) < 0)
            return QRect();
        const QRect r = view()->cursorRect(offset);
        return QRect(view()->viewport()->mapToGlobal(r.topLeft()), r.size());
    }
    int offsetAtPoint(const QPoint &point) const override
    {
        return int(view()->offsetAt(view()->viewport()->mapFromGlobal(point)));
    }
    void scrollToSubstring(int startIndex, int) override
    {
        const qint32 caret = view()->SelStart();
        view()->setSelStart(startIndex);
        view()->setSelStart(caret);
    }
    QString attributes(int offset, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = offset;
        return QString();
    }
};

QAccessibleInterface *factory(const QString &className, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    if (className == QLatin1String("ToolbarImage"))
        return new ToolbarImageAccessible(static_cast<ToolbarImage *>(object));
    if (className == QLatin1String("RichTextView"))
        return new RichTextViewAccessible(static_cast<RichTextView *>(object));
    return nullptr;
}

} // namespace

void installAccessibility()
{
    static bool installed = false;
    if (!installed) {
        QAccessible::installFactory(factory);
        installed = true;
    }
}
