#include "app/controls.h"

#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

namespace hc::app {
namespace {

TEST(Twips, ConvertToPixelsAtTheLogicalDpi)
{
    struct Case {
        double twips;
        double dpi;
        int pixels;
    };
    for (const Case &c : {Case{15, 96, 1}, Case{6540, 96, 436}, Case{17310, 96, 1154}, Case{0, 96, 0},
                          Case{7, 96, 0}, Case{8, 96, 1}, Case{6540, 120, 545}, Case{6540, 144, 654},
                          Case{1440, 192, 192}})
        EXPECT_EQ(twipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << " twips at " << c.dpi << " dpi";
}

TEST(Twips, GeometryIsKeptInTwipsAndAppliedInPixels)
{
    QWidget container;
    auto *control = new QPushButton(&container);
    setGeometryTwips(control, {4830, 270, 1455, 345});
    // 1455 twips is 97 pixels; the twips stay exact whatever the rounding.
    EXPECT_EQ(control->geometry(), QRect(322, 18, 97, 23));
    setLeftTwips(control, 4837.5f);
    EXPECT_EQ(leftTwips(control), 4837.5);
    EXPECT_EQ(control->x(), 323);
    EXPECT_EQ(widthTwips(control), 1455);

    // A window keeps its size from its twips, and its position is its own.
    QWidget window;
    setGeometryTwips(&window, {0, 0, 6540, 8805});
    EXPECT_EQ(window.size(), QSize(436, 587));
    setWidthTwips(&window, 17310);
    EXPECT_EQ(window.size(), QSize(1154, 587));
    EXPECT_EQ(heightTwips(&window), 8805);
}

TEST(Twips, ControlsPlacedInPixelsReadBackInTwips)
{
    QWidget container;
    auto *control = new QWidget(&container);
    control->setGeometry(10, 20, 30, 40);
    EXPECT_EQ(geometryTwips(control), (TwipsGeometry{150, 300, 450, 600}));
}

TEST(ControlState, FlagsAreTheControlsOwnAndReadTheSameInAHiddenWindow)
{
    QWidget window; // never shown
    auto *shown = new QPushButton(&window);
    auto *hidden = new QPushButton(&window);
    hidden->hide();
    auto *disabled = new QPushButton(&window);
    disabled->setEnabled(false);

    EXPECT_FALSE(shown->isVisible());
    EXPECT_TRUE(visibleFlag(shown));
    EXPECT_FALSE(visibleFlag(hidden));
    EXPECT_TRUE(enabledFlag(shown));
    EXPECT_FALSE(enabledFlag(disabled));
    disabled->setEnabled(true);
    EXPECT_TRUE(enabledFlag(disabled));
}

TEST(ControlState, TagIsEmptyUntilSetAndKeepsItsText)
{
    QPushButton control;
    EXPECT_EQ(tag(&control), QString());
    setTag(&control, QStringLiteral(" Severe "));
    EXPECT_EQ(tag(&control), QStringLiteral(" Severe "));
    setTag(&control, QString());
    EXPECT_EQ(tag(&control), QString());
}

TEST(Colours, BgrNumbersMapToTheirColours)
{
    struct Case {
        quint32 bgr;
        QColor color;
    };
    for (const Case &c : {Case{kRed, Qt::red}, Case{kGreen, Qt::green}, Case{kYellow, Qt::yellow},
                          Case{0x00FF0000, Qt::blue}, Case{0x00123456, QColor(0x56, 0x34, 0x12)}}) {
        EXPECT_EQ(colorFromBgr(c.bgr), c.color) << std::hex << c.bgr;
        EXPECT_EQ(bgrFromColor(c.color), c.bgr) << std::hex << c.bgr;
    }
}

TEST(Colours, ShapeIsFilledWithItsBackColour)
{
    Shape shape;
    shape.resize(13, 13);
    for (quint32 colour : {kRed, kGreen, kYellow}) {
        shape.setBackColor(colour);
        EXPECT_EQ(shape.backColor(), colour);
        const QImage image = shape.grab().toImage();
        EXPECT_EQ(bgrFromColor(image.pixelColor(6, 6)), colour);
        EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::black)) << "border";
    }
}

TEST(Colours, OpaqueLabelShowsItsBackColourAndATransparentOneKeepsIt)
{
    QWidget container;
    container.setAutoFillBackground(true);
    container.setPalette(QPalette(Qt::white));
    container.resize(60, 40);
    auto *label = new QLabel(QStringLiteral("x"), &container);
    label->setGeometry(10, 10, 40, 20);
    const auto middle = [&] { return bgrFromColor(container.grab().toImage().pixelColor(45, 20)); };
    setBackColor(label, kYellow);
    setBackStyle(label, BackStyle::Transparent);
    EXPECT_EQ(backColor(label), kYellow);
    EXPECT_EQ(middle(), 0x00FFFFFFu);
    setBackStyle(label, BackStyle::Opaque);
    EXPECT_EQ(backStyle(label), BackStyle::Opaque);
    EXPECT_EQ(middle(), kYellow);

    EXPECT_EQ(borderStyle(label), BorderStyle::None);
    setBorderStyle(label, BorderStyle::FixedSingle);
    EXPECT_EQ(borderStyle(label), BorderStyle::FixedSingle);
    EXPECT_EQ(container.grab().toImage().pixelColor(10, 20), QColor(Qt::black));
}

} // namespace
} // namespace hc::app
