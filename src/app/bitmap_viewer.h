// The preview of the selected list entry: the picture scaled down to fit, with its size
// below it, or a fixed picture for a sound or movie entry.
#pragma once

#include "app/app_namespace.h"
#include "media/rgb_image.h"

#include <QFont>
#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QWidget>

#include <string>

namespace kestrova::engine {
class ConvertOptions;
}

namespace kestrova::app {

// Where a picture of width x height goes inside the preview's inner rectangle.
struct PreviewLayout {
    float scale = 1.0f;
    int fittedWidth = 0;  // W' = W / scale, truncated
    int fittedHeight = 0; // H' = H / scale, truncated
    int drawWidth = 0;    // the resampled copy: W' - 5
    int drawHeight = 0;   // H' - 5
    int x = 0;            // top-left corner of the copy
    int y = 0;
};
PreviewLayout ComputePreviewLayout(int width, int height, const QRect& inner);

class MFCBitmapViewerCtrl : public QWidget {
    Q_OBJECT
public:
    explicit MFCBitmapViewerCtrl(QWidget* parent = nullptr);
    ~MFCBitmapViewerCtrl() override = default;

    // Shows the file; with options, a sound or movie file (by its extension) shows its
    // picture and is not read. Returns 1 when the file is shown, 0 when it is missing (the
    // previous picture stays) or cannot be read (an error message; the preview empties).
    int SetImage(const std::string& path, const ConvertOptions* options);
    // Empties the picture; a sound or movie picture stays.
    void ClearImage();

    int Kind() const { return kind; }
    const RgbImage& Picture() const { return picture; }
    // The rectangle pictures are fitted into: the widget less 4 pixels on three sides and
    // 10 at the bottom.
    QRect InnerRect() const;

    QSize sizeHint() const override { return {150, 160}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int kind = -1;
    RgbImage picture;
    std::string path;
    QFont font;
    QPixmap audioIcon;
    QPixmap movieIcon;
    QImage scaledCopy; // the last resampled copy, kept until the picture changes
};

} // namespace kestrova::app
