#include "app/bitmap_viewer.h"
#include "app/app_namespace.h"

#include "app/app_dialogs.h"
#include "engine/convert_options.h"

#include <QFileInfo>
#include <QPainter>
#include <qdrawutil.h>

namespace kestrova::app {

PreviewLayout ComputePreviewLayout(int width, int height, const QRect& inner) {
    PreviewLayout layout;
    int w = inner.width();
    int h = inner.height();
    float s = 1.0f;
    if (width >= height && width > w) {
        s = static_cast<float>(width) / static_cast<float>(w);
    } else if (height > width && height > h) {
        s = static_cast<float>(height) / static_cast<float>(h);
    }
    layout.scale = s;
    layout.fittedWidth = static_cast<int>(static_cast<float>(width) / s);
    layout.fittedHeight = static_cast<int>(static_cast<float>(height) / s);
    layout.drawWidth = layout.fittedWidth - 5;
    layout.drawHeight = layout.fittedHeight - 5;
    layout.x = inner.left() + (w - layout.fittedWidth) / 2;
    layout.y = inner.top() + (h - layout.fittedHeight) / 2;
    return layout;
}

MFCBitmapViewerCtrl::MFCBitmapViewerCtrl(QWidget* parent)
    : QWidget(parent), font("Arial", 8), audioIcon(":/art/preview_audio.png"),
      movieIcon(":/art/preview_movie.png") {
    setObjectName("MFCBitmapViewerCtrl");
    setCursor(Qt::ArrowCursor);
}

QRect MFCBitmapViewerCtrl::InnerRect() const {
    // Edges as the window system counts them: right and bottom are one past the last pixel.
    return QRect(QPoint(4, 4), QPoint(width() - 4 - 1, height() - 10 - 1));
}

int MFCBitmapViewerCtrl::SetImage(const std::string& newPath, const ConvertOptions* options) {
    path = newPath;
    if (path.empty() || !QFileInfo::exists(QString::fromStdString(path))) {
        return 0;
    }
    if (options != nullptr) {
        int index = FormatIndexOf(path, *options);
        if (index >= 0) {
            kind = FormatKind(options->formats[index]);
            if (kind == KindAudioFile || kind == KindMovieFile) {
                return 1;
            }
        }
    }
    scaledCopy = QImage();
    int code = picture.LoadFile(path);
    if (code != 0) {
        ShowAppMessage(this, QString::fromStdString(ImageErrorText(code)));
        return 0;
    }
    return 1;
}

void MFCBitmapViewerCtrl::ClearImage() {
    picture.Clear();
    scaledCopy = QImage();
    update();
}

namespace {

// A view of an RgbImage's pixels as a QImage (no copy; valid while the image is unchanged).
QImage ViewOf(RgbImage& image) {
    uint8_t* pixels = image.Lock();
    if (pixels == nullptr) {
        return QImage();
    }
    QImage view(pixels, static_cast<int>(image.Width()), static_cast<int>(image.Height()),
                static_cast<qsizetype>(image.Width()) * 3, QImage::Format_RGB888);
    image.Unlock();
    return view;
}

} // namespace

void MFCBitmapViewerCtrl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QRect client = rect();
    painter.fillRect(client, Qt::white);
    qDrawShadeRect(&painter, client, palette(), true, 1, 0);
    QRect inner = InnerRect();
    painter.setPen(Qt::black);
    painter.setFont(font);

    if (kind == KindMovieFile) {
        painter.drawPixmap(20, 20, movieIcon, 0, 0, 90, 90);
        return;
    }
    if (kind == KindAudioFile) {
        painter.drawPixmap(20, 20, audioIcon, 0, 0, 90, 90);
        return;
    }
    if (picture.IsEmpty()) {
        painter.drawText(inner.left() + 25, inner.height() / 2 + painter.fontMetrics().ascent(),
                         "... Preview ...");
        return;
    }
    int width = static_cast<int>(picture.Width());
    int height = static_cast<int>(picture.Height());
    PreviewLayout layout = ComputePreviewLayout(width, height, inner);
    QSize drawSize(layout.drawWidth, layout.drawHeight);
    if (scaledCopy.size() != drawSize && !drawSize.isEmpty()) {
        scaledCopy = QImage();
        RgbImage copy;
        if (copy.CopyFrom(picture) == 0 &&
            copy.Resize(static_cast<uint32_t>(layout.drawWidth),
                        static_cast<uint32_t>(layout.drawHeight)) == 0) {
            scaledCopy = ViewOf(copy).copy();
        }
    }
    if (scaledCopy.size() == drawSize && !drawSize.isEmpty()) {
        painter.drawImage(layout.x, layout.y, scaledCopy);
    } else {
        painter.drawImage(layout.x, layout.y, ViewOf(picture));
    }
    // The caption's top edge sits 3 pixels above the inner rectangle's bottom.
    painter.drawText(inner.left() + 2, inner.bottom() + 1 - 3 + painter.fontMetrics().ascent(),
                     QString("Width : %1 , Height : %2").arg(width).arg(height));
}

} // namespace kestrova::app
