#pragma once

#include <QLabel>

// The file-name label: the loaded document's full path, or the voice-pack
// download link while no document is loaded. Clicks are reported.
class CaptionLabel : public QLabel
{
    Q_OBJECT

public:
    static inline const QString kDownloadCaption = QStringLiteral("中文男声语音包下载");

    using QLabel::QLabel;

    void showDownloadLink() { setText(kDownloadCaption); }
    bool showsDownloadLink() const { return text() == kDownloadCaption; }

signals:
    void Click();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};
