#pragma once

#include <QStringList>
#include <QWidget>

class QMimeData;
class QSvgRenderer;

// The toolbar strip: the drawn button faces and separators beneath the
// eight click areas.
class ToolbarStrip : public QWidget
{
    Q_OBJECT

public:
    explicit ToolbarStrip(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QSvgRenderer *m_renderer;
};

// One transparent click area over the strip. BorderStyle 1 draws a thin
// frame: the pressed look.
class ToolbarImage : public QWidget
{
    Q_OBJECT

public:
    ToolbarImage(int index, QWidget *parent = nullptr);

    int index() const { return m_index; }
    int BorderStyle() const { return m_borderStyle; }
    void setBorderStyle(int style);

    // Only the open-file image takes dropped files.
    void setAcceptsFiles(bool accepts);

    // The two mode switches: whether their mode runs (for assistive
    // technology; the frame is what the eye sees).
    void setToggle(bool toggle) { m_toggle = toggle; }
    bool isToggle() const { return m_toggle; }
    void setChecked(bool checked);
    bool isChecked() const { return m_checked; }

    // A click as the mouse makes it: press, release, click.
    void click();

signals:
    void MouseDown(int index);
    void MouseUp(int index);
    void Click(int index);
    void OLEDragDrop(int index, const QStringList &paths);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    const int m_index;
    int m_borderStyle = 0;
    Qt::MouseButtons m_pressed;
    bool m_toggle = false;
    bool m_checked = false;
};

// Local file paths of a drop, in their order; empty when it holds none.
QStringList droppedLocalFiles(const QMimeData *data);
