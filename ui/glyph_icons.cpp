#include "ui/glyph_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

// Draws on a 16 x 16 grid; the painter is scaled to the icon's size.
void DrawGlyph(QPainter& p, Glyph glyph, const QColor& color) {
    QPen pen(color, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    switch (glyph) {
        case Glyph::kHelp: {
            QFont font = p.font();
            font.setBold(true);
            font.setPixelSize(12);
            p.setFont(font);
            p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
            p.drawText(QRectF(0, 0, 16, 16.5), Qt::AlignCenter, "?");
            break;
        }
        case Glyph::kSystemTray:
            p.drawRect(QRectF(2.5, 2.5, 11, 11));
            p.setBrush(color);
            p.drawRect(QRectF(8.5, 9.5, 3, 2));
            break;
        case Glyph::kMinimize:
            p.drawLine(QPointF(4, 11.5), QPointF(12, 11.5));
            break;
        case Glyph::kMaximize:
            p.drawRect(QRectF(3.5, 3.5, 9, 9));
            p.drawLine(QPointF(3.5, 5), QPointF(12.5, 5));
            break;
        case Glyph::kRestore:
            p.drawRect(QRectF(3.5, 6.5, 7, 6));
            p.drawPolyline(QPolygonF({QPointF(6.5, 6.5), QPointF(6.5, 3.5), QPointF(13, 3.5),
                                      QPointF(13, 9.5), QPointF(10.5, 9.5)}));
            break;
        case Glyph::kClose:
            p.drawLine(QPointF(4, 4), QPointF(12, 12));
            p.drawLine(QPointF(12, 4), QPointF(4, 12));
            break;
        case Glyph::kMoveUp:
        case Glyph::kMoveDown: {
            const bool up = glyph == Glyph::kMoveUp;
            const double tip = up ? 3 : 13;
            const double base = up ? 9 : 7;
            p.setBrush(color);
            p.drawPolygon(QPolygonF({QPointF(8, tip), QPointF(13, base), QPointF(3, base)}));
            p.drawLine(QPointF(8, base), QPointF(8, up ? 13 : 3));
            break;
        }
        case Glyph::kAddFiles:
            p.drawLine(QPointF(8, 3), QPointF(8, 13));
            p.drawLine(QPointF(3, 8), QPointF(13, 8));
            break;
        case Glyph::kDeleteFile:
            p.drawLine(QPointF(4.5, 4.5), QPointF(11.5, 11.5));
            p.drawLine(QPointF(11.5, 4.5), QPointF(4.5, 11.5));
            break;
        case Glyph::kAudioStream: {
            QPainterPath speaker;
            speaker.moveTo(2.5, 6);
            speaker.lineTo(5, 6);
            speaker.lineTo(8.5, 3);
            speaker.lineTo(8.5, 13);
            speaker.lineTo(5, 10);
            speaker.lineTo(2.5, 10);
            speaker.closeSubpath();
            p.setBrush(color);
            p.drawPath(speaker);
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(7, 5, 5, 6), -50 * 16, 100 * 16);
            p.drawArc(QRectF(7, 2.5, 8, 11), -50 * 16, 100 * 16);
            break;
        }
    }
}

}  // namespace

QIcon GlyphIcon(Glyph glyph, const QColor& color, int sizePixels) {
    QIcon icon;
    for (const int scale : {1, 2}) {
        QPixmap pixmap(sizePixels * scale, sizePixels * scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(sizePixels * scale / 16.0, sizePixels * scale / 16.0);
        DrawGlyph(painter, glyph, color);
        painter.end();
        pixmap.setDevicePixelRatio(scale);
        icon.addPixmap(pixmap);
    }
    return icon;
}
