#include "VolumeDialog.h"

#include "speech/Voice.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QSlider>
#include <QVBoxLayout>

VolumeDialog::VolumeDialog(Voice &voice, QWidget *parent)
    : QDialog(parent), m_slider(new QSlider(Qt::Horizontal, this))
{
    setModal(true);
    auto *layout = new QVBoxLayout(this);
    auto *label = new QLabel(QStringLiteral("音量"), this);
    layout->addWidget(label);
    m_slider->setRange(0, 100);
    m_slider->setValue(voice.Volume());
    m_slider->setAccessibleName(QStringLiteral("音量"));
    label->setBuddy(m_slider);
    layout->addWidget(m_slider);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_slider, &QSlider::valueChanged, &voice,
            [&voice](int value) { voice.setVolume(value); });
}

void DisplayUI(Voice &voice, QWidget *parent, const QString &title, const QString &typeOfUI)
{
    if (!voice.IsUISupported(typeOfUI))
        return;
    VolumeDialog dialog(voice, parent);
    dialog.setWindowTitle(title);
    dialog.exec();
}
