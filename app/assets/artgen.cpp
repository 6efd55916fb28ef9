// Draws the updater's artwork with QPainter and writes it as PNG files plus a
// C++ source that embeds them:
//   artgen <output folder>
// produces dvk-icon-64.png (window icon), dvk-channel-89x36.png (picture of
// the video-channel button), dvk-product-120.png (product picture of the
// About window) and Artwork.cpp. Only shapes are drawn, no text, so the
// result does not depend on the fonts of the build machine.
#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <cstdio>

namespace {

QImage NewImage(int w, int h) {
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

QPainterPath Triangle(QPointF a, QPointF b, QPointF c) {
    QPainterPath path(a);
    path.lineTo(b);
    path.lineTo(c);
    path.closeSubpath();
    return path;
}

// Window icon: a rounded tile with a circular "renew" arrow around a play mark.
QImage DrawIcon() {
    QImage image = NewImage(64, 64);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient tile(0, 0, 0, 64);
    tile.setColorAt(0, QColor(0x2b, 0x9c, 0xd8));
    tile.setColorAt(1, QColor(0x1a, 0x3f, 0x8f));
    p.setPen(QPen(QColor(0x12, 0x2c, 0x66), 2));
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 13, 13);

    // Gloss on the upper half.
    QLinearGradient gloss(0, 2, 0, 34);
    gloss.setColorAt(0, QColor(255, 255, 255, 90));
    gloss.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(gloss);
    p.drawRoundedRect(QRectF(4, 4, 56, 30), 11, 11);

    // The arc of the arrow, open at the upper right, with its head there.
    const QRectF ring(14, 14, 36, 36);
    p.setPen(QPen(Qt::white, 5.5, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(ring, 70 * 16, 290 * 16);
    const double a = 70.0 * M_PI / 180.0;
    const QPointF tip(32 + 18 * std::cos(a), 32 - 18 * std::sin(a));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(Triangle(tip + QPointF(-9, -7), tip + QPointF(-8, 8), tip + QPointF(5, 0)));

    // Play mark in the middle.
    p.setBrush(QColor(0xff, 0xb3, 0x2e));
    p.drawPath(Triangle(QPointF(27, 23), QPointF(27, 41), QPointF(42, 32)));
    return image;
}

// Button picture: a clapperboard with a play mark, and a sound wave beside it.
QImage DrawChannelPicture() {
    QImage image = NewImage(89, 36);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // Board.
    QLinearGradient board(0, 13, 0, 35);
    board.setColorAt(0, QColor(0x3a, 0x3f, 0x4a));
    board.setColorAt(1, QColor(0x1e, 0x21, 0x28));
    p.setPen(QPen(QColor(0x10, 0x12, 0x16), 1));
    p.setBrush(board);
    p.drawRoundedRect(QRectF(1.5, 13.5, 44, 21), 3, 3);

    // Striped clapper, tilted open.
    p.save();
    p.translate(2, 13);
    p.rotate(-7);
    QPainterPath clapper;
    clapper.addRoundedRect(QRectF(0, -6, 44, 6), 1.5, 1.5);
    p.setBrush(QColor(0xf2, 0xf2, 0xf2));
    p.drawPath(clapper);
    p.setClipPath(clapper);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xd9, 0x3a, 0x2b));
    for (int x = -4; x < 48; x += 10) {
        QPainterPath stripe;
        stripe.moveTo(x, 0);
        stripe.lineTo(x + 5, 0);
        stripe.lineTo(x + 10, -6);
        stripe.lineTo(x + 5, -6);
        stripe.closeSubpath();
        p.drawPath(stripe);
    }
    p.restore();

    // Play mark on the board.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xff, 0xb3, 0x2e));
    p.drawPath(Triangle(QPointF(18, 18), QPointF(18, 31), QPointF(29, 24.5)));

    // Sound wave: bars of a level meter to the right.
    const int heights[] = {8, 16, 26, 18, 30, 20, 12, 22, 14, 6};
    for (int i = 0; i < 10; ++i) {
        const double x = 50 + i * 3.9;
        const double h = heights[i];
        QLinearGradient bar(0, 18 - h / 2, 0, 18 + h / 2);
        bar.setColorAt(0, QColor(0xe8, 0x4a, 0x3a));
        bar.setColorAt(1, QColor(0x9c, 0x22, 0x6e));
        p.setBrush(bar);
        p.drawRoundedRect(QRectF(x, 18 - h / 2, 2.6, h), 1.2, 1.2);
    }
    return image;
}

// Product picture: a monitor showing an open book and a play mark, with a
// disc behind it.
QImage DrawProductPicture() {
    QImage image = NewImage(120, 120);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // Disc behind the monitor.
    QRadialGradient disc(QPointF(88, 34), 30);
    disc.setColorAt(0.0, QColor(0xf4, 0xf6, 0xfa));
    disc.setColorAt(0.55, QColor(0xb8, 0xc8, 0xe6));
    disc.setColorAt(0.8, QColor(0xe3, 0xc8, 0xf0));
    disc.setColorAt(1.0, QColor(0x9a, 0xa8, 0xc8));
    p.setPen(QPen(QColor(0x70, 0x7a, 0x90), 1));
    p.setBrush(disc);
    p.drawEllipse(QPointF(88, 34), 29, 29);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(88, 34), 5, 5);

    // Stand.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x4a, 0x50, 0x5c));
    QPainterPath neck;
    neck.moveTo(52, 88);
    neck.lineTo(66, 88);
    neck.lineTo(70, 106);
    neck.lineTo(48, 106);
    neck.closeSubpath();
    p.drawPath(neck);
    p.drawRoundedRect(QRectF(34, 104, 50, 8), 4, 4);

    // Monitor.
    QLinearGradient frame(0, 24, 0, 92);
    frame.setColorAt(0, QColor(0x5b, 0x62, 0x70));
    frame.setColorAt(1, QColor(0x2c, 0x30, 0x38));
    p.setPen(QPen(QColor(0x1c, 0x1f, 0x25), 1.5));
    p.setBrush(frame);
    p.drawRoundedRect(QRectF(6, 26, 106, 66), 7, 7);
    QLinearGradient screen(0, 32, 0, 84);
    screen.setColorAt(0, QColor(0x5f, 0xc4, 0xf0));
    screen.setColorAt(1, QColor(0x2a, 0x4d, 0xb0));
    p.setPen(Qt::NoPen);
    p.setBrush(screen);
    p.drawRoundedRect(QRectF(12, 32, 94, 52), 3, 3);

    // Open book on the screen.
    p.setPen(QPen(QColor(0x1d, 0x3a, 0x80), 1));
    p.setBrush(QColor(0xfb, 0xf8, 0xee));
    QPainterPath left;
    left.moveTo(58, 46);
    left.cubicTo(48, 40, 34, 40, 24, 44);
    left.lineTo(24, 76);
    left.cubicTo(34, 72, 48, 72, 58, 78);
    left.closeSubpath();
    p.drawPath(left);
    QPainterPath right;
    right.moveTo(60, 46);
    right.cubicTo(70, 40, 84, 40, 94, 44);
    right.lineTo(94, 76);
    right.cubicTo(84, 72, 70, 72, 60, 78);
    right.closeSubpath();
    p.drawPath(right);
    // Lines of text on the left page.
    p.setPen(QPen(QColor(0x9a, 0xa4, 0xba), 1.4, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 5; ++i) {
        const double y = 50 + i * 5.5;
        p.drawLine(QPointF(29, y), QPointF(53, y + 1.5));
    }
    // Play mark on the right page.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xe8, 0x4a, 0x3a));
    p.drawEllipse(QPointF(77, 60), 11, 11);
    p.setBrush(Qt::white);
    p.drawPath(Triangle(QPointF(73.5, 54), QPointF(73.5, 66), QPointF(83.5, 60)));

    // Gloss across the screen.
    QLinearGradient gloss(0, 32, 0, 60);
    gloss.setColorAt(0, QColor(255, 255, 255, 60));
    gloss.setColorAt(1, QColor(255, 255, 255, 0));
    p.setBrush(gloss);
    QPainterPath shine;
    shine.moveTo(12, 32);
    shine.lineTo(106, 32);
    shine.lineTo(106, 40);
    shine.cubicTo(80, 46, 40, 50, 12, 56);
    shine.closeSubpath();
    p.drawPath(shine);
    return image;
}

bool WritePng(const QImage& image, const QString& path, QByteArray& bytes) {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        return false;
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

void AppendArray(QByteArray& source, const char* name, const QByteArray& bytes) {
    source += "const unsigned char ";
    source += name;
    source += "[] = {";
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (i % 16 == 0) {
            source += "\n   ";
        }
        source += ' ';
        source += QByteArray::number(static_cast<unsigned char>(bytes[i]));
        source += ',';
    }
    source += "\n};\n";
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: artgen <output folder>\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    struct Item {
        const char* file;
        const char* array;
        const char* function;
        QImage image;
    } items[] = {
        {"dvk-icon-64.png", "kIcon", "IconPng", DrawIcon()},
        {"dvk-channel-89x36.png", "kChannel", "ChannelPicturePng", DrawChannelPicture()},
        {"dvk-product-120.png", "kProduct", "ProductPicturePng", DrawProductPicture()},
    };
    QByteArray source = "// Generated by app/assets/artgen.cpp; do not edit.\n"
                        "#include \"app/Artwork.h\"\n\nnamespace za {\n\nnamespace {\n\n";
    for (Item& item : items) {
        QByteArray bytes;
        if (!WritePng(item.image, dir + QLatin1Char('/') + QLatin1String(item.file), bytes)) {
            std::fprintf(stderr, "artgen: cannot write %s\n", item.file);
            return 1;
        }
        AppendArray(source, item.array, bytes);
    }
    source += "\n} // namespace\n\n";
    for (const Item& item : items) {
        source += "TArtwork ";
        source += item.function;
        source += "() { return {";
        source += item.array;
        source += ", sizeof(";
        source += item.array;
        source += ")}; }\n";
    }
    source += "\n} // namespace za\n";
    QFile out(dir + QStringLiteral("/Artwork.cpp"));
    if (!out.open(QIODevice::WriteOnly) || out.write(source) != source.size()) {
        std::fprintf(stderr, "artgen: cannot write Artwork.cpp\n");
        return 1;
    }
    return 0;
}
