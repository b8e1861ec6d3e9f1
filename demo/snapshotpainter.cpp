#include "snapshotpainter.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>

#include <algorithm>

namespace {

constexpr int Width = 384;
constexpr int Height = 224;

QColor tone(int hue, int saturation, int value, int alpha = 255)
{
    return QColor::fromHsv((hue % 360 + 360) % 360, saturation, value, alpha);
}

void fillVertical(QPainter& p, const QRectF& rect, const QColor& top, const QColor& bottom)
{
    QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    p.fillRect(rect, gradient);
}

// A small walking creature with two eyes, shared by several scenes.
void paintCritter(QPainter& p, const QRectF& body, const QColor& colour)
{
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRoundedRect(body, body.width() / 3, body.height() / 3);
    p.setBrush(Qt::white);
    const qreal eye = body.width() / 4;
    p.drawEllipse(QRectF(body.left() + eye * 0.6, body.top() + eye * 0.8, eye, eye));
    p.drawEllipse(QRectF(body.right() - eye * 1.6, body.top() + eye * 0.8, eye, eye));
}

void paintSpace(QPainter& p, int hue, QRandomGenerator& rng)
{
    fillVertical(p, QRectF(0, 0, Width, Height), tone(hue, 200, 25), tone(hue, 170, 95));
    for (int i = 0; i < 90; ++i) {
        const int size = rng.bounded(3) == 0 ? 2 : 1;
        p.fillRect(rng.bounded(Width), rng.bounded(Height), size, size, QColor(255, 255, 255, 110 + rng.bounded(146)));
    }
    // A planet lit from the upper left.
    const QPointF centre(60 + rng.bounded(Width - 120), 110 + rng.bounded(30));
    const qreal radius = 26 + rng.bounded(16);
    QRadialGradient planet(centre - QPointF(radius / 3, radius / 3), radius * 1.4);
    planet.setColorAt(0, tone(hue + 40, 110, 250));
    planet.setColorAt(1, tone(hue + 40, 220, 60));
    p.setPen(Qt::NoPen);
    p.setBrush(planet);
    p.drawEllipse(centre, radius, radius);
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 8; ++col)
            paintCritter(p, QRectF(70 + col * 32, 58 + row * 22, 18, 12), tone(hue + 120 + row * 35, 190, 245));
    }
    const qreal x = 80 + rng.bounded(Width - 160);
    p.setBrush(tone(hue + 180, 80, 255));
    p.drawPolygon(QPolygonF({QPointF(x, 178), QPointF(x - 15, 206), QPointF(x + 15, 206)}));
    p.fillRect(QRectF(x - 1, 132, 2, 34), tone(hue + 60, 60, 255));
}

void paintPlatforms(QPainter& p, int hue, QRandomGenerator& rng)
{
    fillVertical(p, QRectF(0, 0, Width, Height), tone(hue + 200, 130, 230), tone(hue + 200, 40, 255));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 220));
    for (int i = 0; i < 4; ++i) {
        const QPointF c(30 + i * 95 + rng.bounded(30), 60 + rng.bounded(40));
        p.drawEllipse(c, 22, 9);
        p.drawEllipse(c + QPointF(15, -5), 15, 9);
    }
    const QColor brick = tone(hue, 170, 200);
    const QColor mortar = tone(hue, 200, 100);
    const auto bricks = [&](const QRect& r) {
        p.fillRect(r, brick);
        p.setPen(mortar);
        for (int y = r.top(); y < r.bottom(); y += 8) {
            p.drawLine(r.left(), y, r.right(), y);
            for (int x = r.left() + ((y - r.top()) / 8 % 2) * 8; x < r.right(); x += 16)
                p.drawLine(x, y, x, std::min(y + 8, r.bottom()));
        }
        p.setPen(Qt::NoPen);
    };
    bricks(QRect(0, 200, Width, 24));
    for (int level = 0; level < 2; ++level) {
        const QRect ledge(rng.bounded(Width - 150), 156 - level * 46, 110 + rng.bounded(40), 16);
        bricks(ledge);
        p.setBrush(QColor(255, 214, 40));
        for (int x = ledge.left() + 12; x < ledge.right() - 8; x += 22)
            p.drawEllipse(QPointF(x, ledge.top() - 10), 4, 6);
    }
    // The hero: a body, a head and a cap in the game's accent colour.
    const qreal hx = 40 + rng.bounded(120);
    p.setBrush(tone(hue + 180, 200, 220));
    p.drawRoundedRect(QRectF(hx, 180, 14, 20), 3, 3);
    p.setBrush(QColor(255, 210, 170));
    p.drawEllipse(QPointF(hx + 7, 174), 7, 7);
    p.setBrush(tone(hue + 180, 220, 160));
    p.drawChord(QRectF(hx, 166, 14, 12), 0, 180 * 16);
    paintCritter(p, QRectF(230 + rng.bounded(100), 186, 18, 14), tone(hue + 90, 180, 150));
}

void paintMaze(QPainter& p, int hue, QRandomGenerator& rng)
{
    p.fillRect(QRectF(0, 0, Width, Height), tone(hue, 170, 22));
    constexpr int cell = 16;
    constexpr int cols = 22;
    constexpr int rows = 10;
    const QPointF origin((Width - cols * cell) / 2.0, 52);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 235, 200));
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c)
            p.drawEllipse(origin + QPointF(c * cell + cell / 2.0, r * cell + cell / 2.0), 1.5, 1.5);
    }
    // Each inner corner grows one wall to the right or down: not a perfect maze, but it reads as one.
    QPen wall(tone(hue, 150, 250), 3, Qt::SolidLine, Qt::RoundCap);
    p.setPen(wall);
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(origin, QSizeF(cols * cell, rows * cell)), 6, 6);
    for (int r = 1; r < rows; ++r) {
        for (int c = 1; c < cols; ++c) {
            if (rng.bounded(3) == 0)
                continue;
            const QPointF corner = origin + QPointF(c * cell, r * cell);
            p.drawLine(corner, corner + (rng.bounded(2) ? QPointF(cell, 0) : QPointF(0, cell)));
        }
    }
    p.setPen(Qt::NoPen);
    const QPointF hero = origin + QPointF(cell * (2 + rng.bounded(6)) + cell / 2.0, cell * 4.5);
    p.setBrush(QColor(255, 230, 60));
    p.drawPolygon(
        QPolygonF({hero + QPointF(0, -7), hero + QPointF(7, 0), hero + QPointF(0, 7), hero + QPointF(-7, 0)}));
    for (int i = 0; i < 3; ++i) {
        const QPointF at = origin + QPointF(cell * (10 + i * 4 + rng.bounded(3)), cell * (1 + rng.bounded(8)));
        paintCritter(p, QRectF(at, QSizeF(14, 14)), tone(hue + 100 + i * 80, 170, 255));
    }
}

void paintRacer(QPainter& p, int hue, QRandomGenerator& rng)
{
    constexpr int horizon = 110;
    fillVertical(p, QRectF(0, 0, Width, horizon), tone(hue + 20, 160, 110), tone(hue + 35, 110, 255));
    p.setPen(Qt::NoPen);
    p.setBrush(tone(hue + 45, 140, 255));
    p.drawEllipse(QPointF(60 + rng.bounded(Width - 120), 82), 20, 20);
    QPolygonF hills({QPointF(0, horizon)});
    for (int x = 0; x <= Width; x += 32)
        hills << QPointF(x, horizon - 8 - rng.bounded(26));
    hills << QPointF(Width, horizon);
    p.setBrush(tone(hue + 220, 90, 100));
    p.drawPolygon(hills);
    fillVertical(p, QRectF(0, horizon, Width, Height - horizon), tone(hue + 100, 150, 170), tone(hue + 100, 190, 90));
    const qreal mid = Width / 2.0;
    p.setBrush(QColor(90, 90, 100));
    p.drawPolygon(QPolygonF({QPointF(mid - 8, horizon), QPointF(mid + 8, horizon), QPointF(mid + 190, Height),
                             QPointF(mid - 190, Height)}));
    // Centre dashes that grow towards the viewer.
    p.setBrush(QColor(245, 245, 235));
    for (qreal t = 0.08; t < 1.0; t += 0.2) {
        const qreal y0 = horizon + (Height - horizon) * t * t;
        const qreal y1 = horizon + (Height - horizon) * (t + 0.08) * (t + 0.08);
        const qreal w0 = 1 + 5 * t;
        const qreal w1 = 1 + 5 * (t + 0.08);
        p.drawPolygon(
            QPolygonF({QPointF(mid - w0, y0), QPointF(mid + w0, y0), QPointF(mid + w1, y1), QPointF(mid - w1, y1)}));
    }
    const auto car = [&](const QRectF& body, const QColor& colour) {
        p.setBrush(Qt::black);
        p.drawRect(
            QRectF(body.left() - 3, body.bottom() - body.height() * 0.45, body.width() + 6, body.height() * 0.45));
        p.setBrush(colour);
        p.drawRoundedRect(body.adjusted(0, body.height() * 0.3, 0, -body.height() * 0.15), 4, 4);
        p.drawRoundedRect(body.adjusted(body.width() * 0.2, 0, -body.width() * 0.2, -body.height() * 0.5), 4, 4);
        p.setBrush(QColor(160, 220, 255));
        p.drawRect(
            body.adjusted(body.width() * 0.27, body.height() * 0.08, -body.width() * 0.27, -body.height() * 0.62));
    };
    car(QRectF(mid - 60 + rng.bounded(50), 130, 30, 16), tone(hue + 240, 160, 230));
    car(QRectF(mid - 32 + rng.bounded(30) - 15, 176, 64, 34), tone(hue + 180, 210, 240));
}

void paintFighter(QPainter& p, qreal x, bool facesRight, const QColor& outfit)
{
    const qreal dir = facesRight ? 1 : -1;
    const QColor skin(240, 196, 150);
    p.setPen(QPen(outfit.darker(130), 8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(x, 148), QPointF(x - 12 * dir, 190));
    p.drawLine(QPointF(x, 148), QPointF(x + 14 * dir, 190));
    p.setPen(Qt::NoPen);
    p.setBrush(outfit);
    p.drawRoundedRect(QRectF(x - 10, 110, 20, 42), 6, 6);
    p.setPen(QPen(outfit, 7, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(x + 4 * dir, 120), QPointF(x + 32 * dir, 116));
    p.drawLine(QPointF(x - 4 * dir, 122), QPointF(x + 10 * dir, 134));
    p.setPen(Qt::NoPen);
    p.setBrush(skin);
    p.drawEllipse(QPointF(x + 36 * dir, 116), 6, 6);
    p.drawEllipse(QPointF(x, 99), 10, 11);
    p.setBrush(outfit.lighter(120));
    p.drawRect(QRectF(x - 10, 92, 20, 4));
}

void paintFighters(QPainter& p, int hue, QRandomGenerator& rng)
{
    fillVertical(p, QRectF(0, 0, Width, 160), tone(hue + 260, 150, 90), tone(hue, 170, 255));
    // City skyline with a few lit windows.
    for (int x = 0; x < Width; x += 28 + rng.bounded(14)) {
        const QRectF block(x, 96 + rng.bounded(36), 24 + rng.bounded(10), 80);
        p.fillRect(block, tone(hue + 240, 70, 55));
        for (qreal wy = block.top() + 6; wy < 156; wy += 10) {
            for (qreal wx = block.left() + 4; wx < block.right() - 4; wx += 8) {
                if (rng.bounded(3) == 0)
                    p.fillRect(QRectF(wx, wy, 3, 4), QColor(255, 226, 130));
            }
        }
    }
    fillVertical(p, QRectF(0, 160, Width, Height - 160), tone(hue + 20, 110, 150), tone(hue + 20, 140, 80));
    p.setPen(QPen(tone(hue + 20, 120, 110), 1));
    for (int i = -6; i <= 6; ++i)
        p.drawLine(QPointF(Width / 2.0 + i * 20, 160), QPointF(Width / 2.0 + i * 70, Height));
    // Energy bars, the left one already taking damage.
    const qreal lost = 20 + rng.bounded(60);
    p.fillRect(QRectF(14, 54, 150, 10), QColor(200, 30, 30));
    p.fillRect(QRectF(14 + lost, 54, 150 - lost, 10), QColor(255, 220, 40));
    p.fillRect(QRectF(Width - 164, 54, 150, 10), QColor(255, 220, 40));
    paintFighter(p, 150, true, tone(hue + 180, 180, 230));
    paintFighter(p, 250, false, tone(hue + 30, 200, 210));
}

void paintFrame(QPainter& p, const QString& title, const QString& caption, int hue)
{
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setPixelSize(11);
    mono.setBold(true);
    p.setFont(mono);
    p.setPen(QColor(255, 255, 255, 230));
    const QRect top(8, 3, Width - 16, 14);
    p.drawText(top, Qt::AlignLeft, QStringLiteral("1UP 004200"));
    p.drawText(top, Qt::AlignHCenter, QStringLiteral("HI 050000"));
    p.drawText(top, Qt::AlignRight, QStringLiteral("CREDIT 1"));

    // Outlined title with a gradient fill, shrunk until it fits.
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    int size = 26;
    QPainterPath path;
    do {
        font.setPixelSize(size);
        path = QPainterPath();
        path.addText(0, 0, font, title);
        size -= 2;
    } while (path.boundingRect().width() > Width - 24 && size > 10);
    const QRectF box = path.boundingRect();
    path.translate((Width - box.width()) / 2 - box.left(), 44 - box.bottom());
    p.setPen(QPen(QColor(20, 16, 30), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    QLinearGradient fill(0, 44 - box.height(), 0, 44);
    fill.setColorAt(0, tone(hue + 50, 40, 255));
    fill.setColorAt(1, tone(hue + 50, 220, 255));
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawPath(path);

    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPixelSize(10);
    p.setFont(small);
    const QRect label = QFontMetrics(small).boundingRect(caption).adjusted(-4, -1, 4, 1);
    const QRect placed = label.translated(Width - 4 - label.right(), Height - 4 - label.bottom());
    p.setBrush(QColor(0, 0, 0, 160));
    p.drawRoundedRect(placed, 3, 3);
    p.setPen(Qt::white);
    p.drawText(placed, Qt::AlignCenter, caption);
}

} // namespace

QImage paintSnapshot(Scene scene, const QString& title, const QString& caption, int hue, quint32 seed)
{
    QImage image(Width, Height, QImage::Format_RGB32);
    image.fill(Qt::black);
    QRandomGenerator rng(seed);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    switch (scene) {
    case Scene::Space:
        paintSpace(p, hue, rng);
        break;
    case Scene::Platforms:
        paintPlatforms(p, hue, rng);
        break;
    case Scene::Maze:
        paintMaze(p, hue, rng);
        break;
    case Scene::Racer:
        paintRacer(p, hue, rng);
        break;
    case Scene::Fighters:
        paintFighters(p, hue, rng);
        break;
    }
    paintFrame(p, title, caption, hue);
    return image;
}
