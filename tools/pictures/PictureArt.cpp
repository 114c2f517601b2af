#include "PictureArt.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace quorvel::pictures {

namespace {

// One periodical lying at an angle: a cover with a spine and three lines of title.
void drawIssue(QPainter& painter, QPointF centre, qreal angle, const QColor& cover) {
    painter.save();
    painter.translate(centre);
    painter.rotate(angle);
    painter.setPen(Qt::NoPen);
    painter.setBrush(cover);
    painter.drawRect(QRectF(-34, -22, 68, 44));
    painter.setBrush(cover.darker(150));
    painter.drawRect(QRectF(-34, -22, 6, 44));
    painter.setBrush(QColor(250, 245, 230));
    for (int line = 0; line < 3; ++line) {
        painter.drawRect(QRectF(-22, -14 + line * 9, 44 - line * 10, 4));
    }
    painter.restore();
}

// The icon is drawn on a canvas of this many units a side, scaled to the size asked for.
constexpr qreal IconCanvas = 256;

// One periodical standing upright on the icon's canvas, turned by angle degrees: a cover with
// a rounded outline, a darker spine and a light masthead; the front one also a picture and
// lines of text. line is one pixel of the finished icon in canvas units, so that outlines stay
// visible at every size.
void drawIconCover(QPainter& painter, QPointF centre, qreal angle, const QColor& cover, bool front,
                   qreal line) {
    const QColor paper(250, 245, 230);
    const bool detailed = line <= IconCanvas / 48;
    painter.save();
    painter.translate(centre);
    painter.rotate(angle);
    const QRectF outline(-64, -86, 128, 172);

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 50));
    painter.drawRoundedRect(outline.translated(line * 1.5, line * 2), 8, 8);
    painter.setPen(QPen(cover.darker(170), std::max<qreal>(line, 3)));
    painter.setBrush(cover);
    painter.drawRoundedRect(outline, 8, 8);

    painter.setPen(Qt::NoPen);
    painter.setBrush(cover.darker(135));
    painter.drawRect(QRectF(-62, -84, 14, 168));
    painter.setBrush(paper);
    painter.drawRect(QRectF(-38, -72, 90, detailed ? 26 : 34));
    if (front) {
        painter.setBrush(QColor(250, 200, 40));
        painter.drawEllipse(QPointF(6, 4), 28, 28);
        if (detailed) {
            painter.setBrush(paper);
            for (int row = 0; row < 3; ++row) {
                painter.drawRect(QRectF(-38, 44 + row * 14, 90 - row * 22, 7));
            }
        }
    }
    painter.restore();
}

}  // namespace

QImage drawSplashPicture() {
    QImage picture(SplashWidth, SplashHeight, QImage::Format_RGB32);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, 120);
    sky.setColorAt(0, QColor(30, 80, 160));
    sky.setColorAt(1, QColor(170, 210, 240));
    painter.fillRect(0, 0, SplashWidth, 120, sky);
    painter.fillRect(0, 120, SplashWidth, SplashHeight - 120, QColor(60, 140, 60));

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(250, 200, 40));
    painter.drawEllipse(QPointF(112, 38), 18, 18);
    painter.setBrush(QColor(80, 160, 70));
    painter.drawEllipse(QPointF(20, 130), 70, 26);
    painter.drawEllipse(QPointF(140, 128), 60, 20);

    drawIssue(painter, QPointF(76, 164), -8, QColor(40, 70, 180));
    drawIssue(painter, QPointF(72, 148), 6, QColor(230, 190, 40));
    drawIssue(painter, QPointF(78, 130), -3, QColor(200, 40, 40));
    return picture;
}

QImage drawAboutIcon() {
    QImage icon(IconSize, IconSize, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);

    QPainterPath cover;
    cover.addRoundedRect(QRectF(2, 4, 28, 24), 3, 3);
    painter.setPen(QPen(QColor(120, 20, 20), 1));
    painter.setBrush(QColor(200, 40, 40));
    painter.drawPath(cover);

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(250, 245, 230));
    painter.drawRect(QRectF(5, 7, 10, 18));
    painter.drawRect(QRectF(17, 7, 10, 18));
    painter.setBrush(QColor(40, 70, 180));
    for (int line = 0; line < 4; ++line) {
        painter.drawRect(QRectF(7, 10 + line * 4, 6, 1.5));
        painter.drawRect(QRectF(19, 10 + line * 4, 6, 1.5));
    }
    return icon;
}

QImage drawProgramIcon(int size) {
    QImage icon(size, size, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / IconCanvas, size / IconCanvas);
    const qreal line = IconCanvas / size;
    drawIconCover(painter, QPointF(100, 118), -14, QColor(40, 70, 180), false, line);
    drawIconCover(painter, QPointF(128, 126), -2, QColor(230, 190, 40), false, line);
    drawIconCover(painter, QPointF(152, 136), 9, QColor(200, 40, 40), true, line);
    return icon;
}

}  // namespace quorvel::pictures
