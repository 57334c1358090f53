#include "app/controls.h"

#include <QPainter>
#include <QRectF>
#include <QVariant>

#include <cmath>

namespace hc::app {

namespace {

constexpr const char *kTagProperty = "hcTag";
constexpr const char *kTwipsProperty = "hcTwips";
constexpr const char *kBackColorProperty = "hcBackColor";

double pixelsToTwips(int pixels, double logicalDpi)
{
    return pixels * kTwipsPerInch / logicalDpi;
}

void applyGeometry(QWidget *control, const TwipsGeometry &g)
{
    const double dpiX = control->logicalDpiX();
    const double dpiY = control->logicalDpiY();
    const QSize size(twipsToPixels(g.width, dpiX), twipsToPixels(g.height, dpiY));
    if (control->isWindow()) {
        control->resize(size);
        return;
    }
    control->setGeometry(QRect(QPoint(twipsToPixels(g.left, dpiX), twipsToPixels(g.top, dpiY)), size));
}

} // namespace

QString tag(const QObject *control)
{
    return control->property(kTagProperty).toString();
}

void setTag(QObject *control, const QString &tag)
{
    control->setProperty(kTagProperty, tag);
}

bool enabledFlag(const QWidget *control)
{
    return !control->testAttribute(Qt::WA_Disabled);
}

bool visibleFlag(const QWidget *control)
{
    return !control->isHidden();
}

int twipsToPixels(double twips, double logicalDpi)
{
    return static_cast<int>(std::lround(twips * logicalDpi / kTwipsPerInch));
}

TwipsGeometry geometryTwips(const QWidget *control)
{
    const QVariant stored = control->property(kTwipsProperty);
    if (stored.isValid()) {
        const QRectF r = stored.toRectF();
        return {r.x(), r.y(), r.width(), r.height()};
    }
    const double dpiX = control->logicalDpiX();
    const double dpiY = control->logicalDpiY();
    const QRect r = control->geometry();
    return {pixelsToTwips(r.x(), dpiX), pixelsToTwips(r.y(), dpiY), pixelsToTwips(r.width(), dpiX),
            pixelsToTwips(r.height(), dpiY)};
}

void setGeometryTwips(QWidget *control, const TwipsGeometry &geometry)
{
    control->setProperty(kTwipsProperty, QRectF(geometry.left, geometry.top, geometry.width, geometry.height));
    applyGeometry(control, geometry);
}

double leftTwips(const QWidget *control) { return geometryTwips(control).left; }
double topTwips(const QWidget *control) { return geometryTwips(control).top; }
double widthTwips(const QWidget *control) { return geometryTwips(control).width; }
double heightTwips(const QWidget *control) { return geometryTwips(control).height; }

void setLeftTwips(QWidget *control, double twips)
{
    TwipsGeometry g = geometryTwips(control);
    g.left = twips;
    setGeometryTwips(control, g);
}

void setTopTwips(QWidget *control, double twips)
{
    TwipsGeometry g = geometryTwips(control);
    g.top = twips;
    setGeometryTwips(control, g);
}

void setWidthTwips(QWidget *control, double twips)
{
    TwipsGeometry g = geometryTwips(control);
    g.width = twips;
    setGeometryTwips(control, g);
}

void setHeightTwips(QWidget *control, double twips)
{
    TwipsGeometry g = geometryTwips(control);
    g.height = twips;
    setGeometryTwips(control, g);
}

QColor colorFromBgr(quint32 bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

quint32 bgrFromColor(const QColor &color)
{
    return quint32(color.red()) | quint32(color.green()) << 8 | quint32(color.blue()) << 16;
}

quint32 backColor(const QWidget *control)
{
    const QVariant stored = control->property(kBackColorProperty);
    if (stored.isValid())
        return stored.toUInt();
    return bgrFromColor(control->palette().color(control->backgroundRole()));
}

void setBackColor(QWidget *control, quint32 bgr)
{
    control->setProperty(kBackColorProperty, bgr);
    QPalette palette = control->palette();
    palette.setColor(control->backgroundRole(), colorFromBgr(bgr));
    control->setPalette(palette);
    control->update();
}

BackStyle backStyle(const QWidget *control)
{
    return control->autoFillBackground() ? BackStyle::Opaque : BackStyle::Transparent;
}

void setBackStyle(QWidget *control, BackStyle style)
{
    control->setAutoFillBackground(style == BackStyle::Opaque);
    control->update();
}

BorderStyle borderStyle(const QFrame *label)
{
    return label->frameShape() == QFrame::Box ? BorderStyle::FixedSingle : BorderStyle::None;
}

void setBorderStyle(QFrame *label, BorderStyle style)
{
    if (style == BorderStyle::FixedSingle) {
        label->setFrameStyle(QFrame::Box | QFrame::Plain);
        label->setLineWidth(1);
    } else {
        label->setFrameStyle(QFrame::NoFrame);
    }
}

Shape::Shape(QWidget *parent) : QWidget(parent)
{
}

void Shape::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), colorFromBgr(backColor()));
    painter.setPen(Qt::black);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace hc::app

// The meta-object code of this file's classes is built here, not with that of
// the other subsystems, so that linking the window never needs theirs.
#include "moc_controls.cpp"
