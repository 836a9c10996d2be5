#pragma once

#include <QDialog>

class QSlider;
class Voice;

// The voice's sound-level dialog: one slider for the volume, applied as it
// moves.
class VolumeDialog : public QDialog
{
    Q_OBJECT

public:
    explicit VolumeDialog(Voice &voice, QWidget *parent = nullptr);

    QSlider *slider() const { return m_slider; }

private:
    QSlider *m_slider;
};

// Shows the voice's dialog of that type, modal over parent, if the voice
// has one.
void DisplayUI(Voice &voice, QWidget *parent, const QString &title, const QString &typeOfUI);
