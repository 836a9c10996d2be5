#include "ToolbarControls.h"

#include <QAccessible>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QSvgRenderer>
#include <QUrl>

ToolbarStrip::ToolbarStrip(QWidget *parent)
    : QWidget(parent), m_renderer(new QSvgRenderer(QStringLiteral(":/toolbar.svg"), this))
{}

void ToolbarStrip::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    m_renderer->render(&painter, QRectF(QPointF(0, 0), m_renderer->defaultSize()));
}

ToolbarImage::ToolbarImage(int index, QWidget *parent) : QWidget(parent), m_index(index)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setCursor(Qt::PointingHandCursor);
}

void ToolbarImage::setBorderStyle(int style)
{
    if (style == m_borderStyle)
        return;
    m_borderStyle = style;
    update();
}

void ToolbarImage::setChecked(bool checked)
{
    if (checked == m_checked)
        return;
    m_checked = checked;
    if (QAccessible::isActive()) {
        QAccessible::State changed;
        changed.checked = true;
        QAccessibleStateChangeEvent event(this, changed);
        QAccessible::updateAccessibility(&event);
    }
}

void ToolbarImage::click()
{
    emit MouseDown(m_index);
    emit MouseUp(m_index);
    emit Click(m_index);
}

void ToolbarImage::setAcceptsFiles(bool accepts)
{
    setAcceptDrops(accepts);
}

void ToolbarImage::paintEvent(QPaintEvent *)
{
    if (m_borderStyle != 1)
        return;
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::Dark), 1));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void ToolbarImage::mousePressEvent(QMouseEvent *event)
{
    m_pressed |= event->button();
    emit MouseDown(m_index);
}

void ToolbarImage::mouseReleaseEvent(QMouseEvent *event)
{
    const bool wasPressed = m_pressed.testFlag(event->button());
    m_pressed &= ~event->button();
    emit MouseUp(m_index);
    if (wasPressed && event->button() == Qt::LeftButton
        && rect().contains(event->position().toPoint()))
        emit Click(m_index);
}

QStringList droppedLocalFiles(const QMimeData *data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return paths;
}

void ToolbarImage::dragEnterEvent(QDragEnterEvent *event)
{
    if (acceptDrops() && !droppedLocalFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void ToolbarImage::dragMoveEvent(QDragMoveEvent *event)
{
    if (acceptDrops() && !droppedLocalFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void ToolbarImage::dropEvent(QDropEvent *event)
{
    const QStringList paths = droppedLocalFiles(event->mimeData());
    if (!acceptDrops() || paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    emit OLEDragDrop(m_index, paths);
}
