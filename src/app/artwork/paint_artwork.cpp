// Paints the window's pictures into PNG files at build time: the program icon, the banner of
// the main window, the list images by kind, the preview's audio and movie pictures, the option
// tabs' images and the information icon. Every picture is drawn on a 100 x 100 design grid and
// scaled to its size, so the small and the large versions of one picture agree.
//
// Usage: kestrova_artwork OUTDIR
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cstdio>
#include <functional>
#include <initializer_list>

namespace {

const QColor kInk(0x23, 0x3a, 0x5e);
const QColor kSky(0x4f, 0x9d, 0xde);
const QColor kLeaf(0x4c, 0xaf, 0x50);
const QColor kSun(0xff, 0xb3, 0x2b);
const QColor kAccent(0xf2, 0x7a, 0x1a);
const QColor kViolet(0x7b, 0x4f, 0xc9);

using Drawing = std::function<void(QPainter&)>;

QImage Paint(int width, int height, const Drawing& draw, double designWidth = 100,
             double designHeight = 100) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.scale(width / designWidth, height / designHeight);
    draw(painter);
    painter.end();
    return image;
}

QPen Line(const QColor& color, double width) {
    QPen pen(color, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

// A closed outline through the given corners, in order.
QPainterPath Polygon(std::initializer_list<QPointF> corners) {
    QPainterPath path;
    path.moveTo(*corners.begin());
    for (auto corner = corners.begin() + 1; corner != corners.end(); ++corner) {
        path.lineTo(*corner);
    }
    path.closeSubpath();
    return path;
}

// A sun and green hills on the sky, as the picture kind and the icon show them.
void DrawLandscape(QPainter& p, QPointF sun, double sunRadius,
                   std::initializer_list<QPointF> hills) {
    p.setPen(Qt::NoPen);
    p.setBrush(kSun);
    p.drawEllipse(sun, sunRadius, sunRadius);
    p.setBrush(kLeaf);
    p.drawPath(Polygon(hills));
}

// A framed landscape: the static-image kind.
void DrawPicture(QPainter& p) {
    p.setPen(Line(kInk, 7));
    p.setBrush(kSky);
    p.drawRoundedRect(QRectF(8, 16, 84, 68), 8, 8);
    DrawLandscape(p, {68, 36}, 10, {{12, 80}, {38, 46}, {56, 66}, {66, 56}, {88, 80}});
}

// A beamed pair of notes: the audio kind.
void DrawAudio(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(kViolet);
    p.drawEllipse(QPointF(28, 76), 15, 12);
    p.drawEllipse(QPointF(74, 66), 15, 12);
    p.drawPath(
        Polygon({{36, 76}, {36, 20}, {88, 8}, {88, 66}, {80, 66}, {80, 26}, {44, 34}, {44, 76}}));
}

// A strip of film with a play mark: the movie kind.
void DrawMovie(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawRoundedRect(QRectF(6, 14, 88, 72), 8, 8);
    p.setBrush(Qt::white);
    for (int i = 0; i < 5; ++i) {
        p.drawRect(QRectF(14 + i * 16, 19, 8, 7));
        p.drawRect(QRectF(14 + i * 16, 74, 8, 7));
    }
    p.setBrush(QColor(0xdd, 0xe8, 0xf5));
    p.drawRect(QRectF(12, 31, 76, 38));
    p.setBrush(kAccent);
    p.drawPath(Polygon({{41, 36}, {63, 50}, {41, 64}}));
}

// The program icon: a rounded tile holding a picture, a note and a play mark, the three
// kinds of input that become one movie.
void DrawIcon(QPainter& p) {
    QLinearGradient tile(0, 0, 100, 100);
    tile.setColorAt(0, QColor(0x2b, 0x58, 0x76));
    tile.setColorAt(1, QColor(0x4e, 0x43, 0x76));
    p.setPen(Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(4, 4, 92, 92), 20, 20);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(16, 20, 68, 52), 6, 6);
    p.setBrush(kSky);
    p.drawRect(QRectF(21, 25, 58, 42));
    DrawLandscape(p, {66, 36}, 6, {{21, 67}, {40, 42}, {54, 58}, {62, 50}, {79, 67}});
    p.setBrush(kAccent);
    p.drawEllipse(QPointF(72, 72), 17, 17);
    p.setBrush(Qt::white);
    p.drawPath(Polygon({{66, 63}, {81, 72}, {66, 81}}));
}

void DrawInfo(QPainter& p) {
    QRadialGradient ball(QPointF(38, 32), 60);
    ball.setColorAt(0, QColor(0x6f, 0xb6, 0xf0));
    ball.setColorAt(1, QColor(0x1f, 0x5f, 0xb0));
    p.setPen(Line(QColor(0x1a, 0x4a, 0x8a), 3));
    p.setBrush(ball);
    p.drawEllipse(QPointF(50, 50), 44, 44);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(50, 27), 8, 8);
    p.drawRoundedRect(QRectF(42, 42, 16, 40), 4, 4);
}

// Tab images: movie and picture sizes, animation, lens, formats, system.
void DrawSizeTab(QPainter& p) {
    p.setPen(Line(kInk, 9));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(12, 12, 76, 76));
    p.setPen(Line(kAccent, 10));
    p.drawLine(QPointF(30, 70), QPointF(70, 30));
    p.drawLine(QPointF(70, 30), QPointF(50, 30));
    p.drawLine(QPointF(70, 30), QPointF(70, 50));
}

void DrawAnimationTab(QPainter& p) {
    p.setPen(Line(kInk, 8));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(30, 10, 60, 46));
    p.setBrush(kSky);
    p.drawRect(QRectF(10, 44, 60, 46));
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    p.drawPath(Polygon({{32, 54}, {52, 67}, {32, 80}}));
}

void DrawLensTab(QPainter& p) {
    p.setPen(Line(kInk, 10));
    p.drawLine(QPointF(62, 62), QPointF(90, 90));
    QRadialGradient glass(QPointF(34, 34), 40);
    glass.setColorAt(0, QColor(0xff, 0xff, 0xff));
    glass.setColorAt(1, QColor(0x9c, 0xd4, 0xf5));
    p.setPen(Line(kInk, 8));
    p.setBrush(glass);
    p.drawEllipse(QPointF(40, 40), 30, 30);
}

void DrawFormatTab(QPainter& p) {
    p.setPen(Line(kInk, 7));
    p.setBrush(Qt::white);
    p.drawPath(Polygon({{18, 6}, {62, 6}, {84, 28}, {84, 94}, {18, 94}}));
    p.setPen(Line(kLeaf, 9));
    p.drawLine(QPointF(32, 44), QPointF(70, 44));
    p.setPen(Line(kViolet, 9));
    p.drawLine(QPointF(32, 60), QPointF(70, 60));
    p.setPen(Line(kAccent, 9));
    p.drawLine(QPointF(32, 76), QPointF(58, 76));
}

void DrawSystemTab(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.save();
    p.translate(50, 50);
    for (int i = 0; i < 8; ++i) {
        p.drawRoundedRect(QRectF(-9, -46, 18, 24), 3, 3);
        p.rotate(45);
    }
    p.restore();
    p.drawEllipse(QPointF(50, 50), 32, 32);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(50, 50), 13, 13);
}

// The main window's banner: the icon, the program's name and what it does.
void DrawBanner(QPainter& p, int width, int height) {
    QLinearGradient band(0, 0, width, 0);
    band.setColorAt(0, QColor(0x1d, 0x3e, 0x5c));
    band.setColorAt(1, QColor(0x3b, 0x6e, 0x98));
    p.fillRect(QRect(0, 0, width, height), band);
    p.fillRect(QRect(0, height - 3, width, 3), kAccent);
    p.save();
    int iconSize = height - 16;
    p.translate(10, 6);
    p.scale(iconSize / 100.0, iconSize / 100.0);
    DrawIcon(p);
    p.restore();
    QFont title("DejaVu Sans", 20, QFont::Bold);
    p.setFont(title);
    p.setPen(Qt::white);
    int textLeft = iconSize + 24;
    p.drawText(QRect(textLeft, 4, width - textLeft, height / 2 + 6),
               Qt::AlignLeft | Qt::AlignBottom, "Kestrova");
    QFont tagline("DejaVu Sans", 9);
    p.setFont(tagline);
    p.setPen(QColor(0xdb, 0xe7, 0xf3));
    p.drawText(QRect(textLeft, height / 2 + 10, width - textLeft, height / 2 - 10),
               Qt::AlignLeft | Qt::AlignTop, "Pictures, sound and movies into Flash movies");
}

bool Save(const QImage& image, const QString& dir, const char* name) {
    QString path = dir + "/" + name;
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "kestrova_artwork: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kestrova_artwork OUTDIR\n");
        return 2;
    }
    QString dir = QString::fromLocal8Bit(argv[1]);
    const int bannerWidth = 720;
    const int bannerHeight = 64;
    QImage banner(bannerWidth, bannerHeight, QImage::Format_RGB32);
    {
        QPainter p(&banner);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        DrawBanner(p, bannerWidth, bannerHeight);
    }
    bool ok = Save(Paint(256, 256, DrawIcon), dir, "kestrova.png") &&
              Save(banner, dir, "banner.png") && Save(Paint(32, 32, DrawInfo), dir, "info.png") &&
              Save(Paint(16, 16, DrawPicture), dir, "list_image.png") &&
              Save(Paint(16, 16, DrawAudio), dir, "list_audio.png") &&
              Save(Paint(16, 16, DrawMovie), dir, "list_movie.png") &&
              Save(Paint(90, 90, DrawAudio), dir, "preview_audio.png") &&
              Save(Paint(90, 90, DrawMovie), dir, "preview_movie.png") &&
              Save(Paint(16, 16, DrawSizeTab), dir, "tab_size.png") &&
              Save(Paint(16, 16, DrawAnimationTab), dir, "tab_animation.png") &&
              Save(Paint(16, 16, DrawFormatTab), dir, "tab_format.png") &&
              Save(Paint(16, 16, DrawSystemTab), dir, "tab_system.png") &&
              Save(Paint(16, 16, DrawLensTab), dir, "tab_lens.png");
    return ok ? 0 : 1;
}
