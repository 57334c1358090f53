#pragma once

#include <QColor>
#include <QFrame>
#include <QString>
#include <QWidget>

namespace hc::app {

// --- state of a control, as the service reads it back ---

// A control's Tag: free text of ours that travels with the control.
QString tag(const QObject *control);
void setTag(QObject *control, const QString &tag);

// The control's own Enabled and Visible flags. They do not depend on whether
// the window is on screen, so they read the same in a hidden window.
bool enabledFlag(const QWidget *control);
bool visibleFlag(const QWidget *control);

// --- geometry in twips ---
//
// A control's Left, Top, Width and Height are kept in twips, relative to its
// container, and applied in pixels at the screen's logical dpi (15 twips a
// pixel at 96 dpi). A window applies only its size.

inline constexpr double kTwipsPerInch = 1440.0;

int twipsToPixels(double twips, double logicalDpi);

struct TwipsGeometry {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
    bool operator==(const TwipsGeometry &) const = default;
};

TwipsGeometry geometryTwips(const QWidget *control);
void setGeometryTwips(QWidget *control, const TwipsGeometry &geometry);

double leftTwips(const QWidget *control);
double topTwips(const QWidget *control);
double widthTwips(const QWidget *control);
double heightTwips(const QWidget *control);
void setLeftTwips(QWidget *control, double twips);
void setTopTwips(QWidget *control, double twips);
void setWidthTwips(QWidget *control, double twips);
void setHeightTwips(QWidget *control, double twips);

// --- colours and drawing ---

// Colours are 0x00BBGGRR numbers.
inline constexpr quint32 kRed = 0x000000FF;
inline constexpr quint32 kGreen = 0x0000FF00;
inline constexpr quint32 kYellow = 0x0000FFFF;

QColor colorFromBgr(quint32 bgr);
quint32 bgrFromColor(const QColor &color);

// A control's back colour. An opaque control fills its background with it;
// a transparent one keeps it for when it turns opaque.
quint32 backColor(const QWidget *control);
void setBackColor(QWidget *control, quint32 bgr);

enum class BackStyle { Transparent = 0, Opaque = 1 };
BackStyle backStyle(const QWidget *control);
void setBackStyle(QWidget *control, BackStyle style);

enum class BorderStyle { None = 0, FixedSingle = 1 };
// For labels: no border, or a single plain line around the caption.
BorderStyle borderStyle(const QFrame *label);
void setBorderStyle(QFrame *label, BorderStyle style);

// A filled rectangle with a thin border, the run-mode indicator.
class Shape : public QWidget {
    Q_OBJECT
public:
    explicit Shape(QWidget *parent = nullptr);

    quint32 backColor() const { return app::backColor(this); }
    void setBackColor(quint32 bgr) { app::setBackColor(this, bgr); }

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace hc::app
