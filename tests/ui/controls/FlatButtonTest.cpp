#include "controls/FlatButton.h"

#include "UiTestSupport.h"
#include "controls/Conversions.h"
#include "resources/IconResources.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace kestrola::ui {
namespace {

using testing::AnyPixel;
using testing::Grab;
using testing::Opaque;
using testing::PixelAt;

const QColor kInactiveBackground(200, 40, 40);
const QColor kActiveBackground(40, 160, 40);
const QColor kInactiveForeground(0, 0, 0);
const QColor kActiveForeground(255, 255, 255);
const QColor kFocus(250, 200, 0);

class FlatButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        host.resize(300, 120);
        button = new FlatButton(QStringLiteral("Send"), &host);
        button->setGeometry(10, 10, 120, 34);
        QFont big = button->font();
        big.setPixelSize(18);
        big.setBold(true);
        button->setFont(big);
        button->SetInactiveBackground(kInactiveBackground, false);
        button->SetActiveBackground(kActiveBackground, false);
        button->SetInactiveForeground(kInactiveForeground, false);
        button->SetActiveForeground(kActiveForeground, false);
        other = new QLineEdit(&host);
        other->setGeometry(150, 10, 100, 24);
        ASSERT_TRUE(testing::ShowAndActivate(&host));
    }
    QRect Caption() const { return ToQRect(button->Face().captionRect); }
    QPoint Centre() const { return button->rect().center(); }
    void MouseOver() { QTest::mouseMove(button, Centre()); }
    void MouseAway() { QTest::mouseMove(&host, QPoint(280, 110)); }
    QColor Palette(QPalette::ColorRole role) const { return Opaque(button->palette().color(role)); }
    // Left, top, right and bottom edge pixels, and the face inside.
    std::vector<QColor> Edges() {
        const QImage image = Grab(button);
        const int w = button->width(), h = button->height();
        return {PixelAt(image, 0, h / 2), PixelAt(image, w / 2, 0), PixelAt(image, w - 1, h / 2),
                PixelAt(image, w / 2, h - 1), PixelAt(image, 4, 4)};
    }

    QWidget host;
    FlatButton* button = nullptr;
    QLineEdit* other = nullptr;
};

TEST_F(FlatButtonTest, FlatHoverAndPressChangeColoursEdgesAndPlaces) {
    const QColor light = Palette(QPalette::Light), dark = Palette(QPalette::Dark);
    MouseAway();
    EXPECT_EQ(Edges(), std::vector<QColor>(5, kInactiveBackground)) << "no edge while resting";
    EXPECT_TRUE(AnyPixel(Grab(button), Caption(), kInactiveForeground));
    MouseOver();
    EXPECT_TRUE(button->Hover());
    EXPECT_EQ(Edges(), (std::vector<QColor>{light, light, dark, dark, kActiveBackground}));
    EXPECT_TRUE(AnyPixel(Grab(button), Caption(), kActiveForeground));
    EXPECT_FALSE(AnyPixel(Grab(button), Caption(), kInactiveForeground));

    const QRect resting = Caption();
    QSignalSpy clicks(button, &QPushButton::clicked);
    QTest::mousePress(button, Qt::LeftButton, {}, Centre());
    EXPECT_EQ(Edges(), (std::vector<QColor>{dark, dark, light, light, kActiveBackground}));
    EXPECT_EQ(Caption(), resting.translated(1, 1));
    EXPECT_TRUE(AnyPixel(Grab(button), Caption(), kActiveForeground));
    QTest::mouseRelease(button, Qt::LeftButton, {}, Centre());
    EXPECT_EQ(clicks.count(), 1);
    MouseAway();
    EXPECT_FALSE(button->Hover());
    EXPECT_EQ(Edges(), std::vector<QColor>(5, kInactiveBackground));

    QTest::mouseDClick(host.windowHandle(), Qt::LeftButton, {}, button->geometry().center());
    EXPECT_EQ(clicks.count(), 3) << "a fast second click is a second press";
}

TEST_F(FlatButtonTest, PressMovesTheIconByOnePixel) {
    QPixmap square(8, 8);
    square.fill(Qt::magenta);
    button->setText(QString());
    button->SetIcon(square);
    const QPoint icon((button->width() - 8) / 2, (button->height() - 8) / 2);
    MouseOver();
    QImage image = Grab(button);
    EXPECT_EQ(PixelAt(image, icon.x(), icon.y()), QColor(Qt::magenta));
    EXPECT_EQ(PixelAt(image, icon.x() + 8, icon.y() + 8), kActiveBackground);
    QTest::mousePress(button, Qt::LeftButton, {}, Centre());
    image = Grab(button);
    EXPECT_EQ(PixelAt(image, icon.x(), icon.y()), kActiveBackground);
    EXPECT_EQ(PixelAt(image, icon.x() + 8, icon.y() + 8), QColor(Qt::magenta));
    QTest::mouseRelease(button, Qt::LeftButton, {}, Centre());

    button->setText(QStringLiteral("Send")); // the icon goes left of a caption
    EXPECT_TRUE(button->SetIcon(core::kSendIcon));
    EXPECT_EQ(button->Face().iconAt, (core::Point{3, (34 - 16) / 2}));
    EXPECT_FALSE(button->SetIcon(280));
}

TEST_F(FlatButtonTest, RaisedLookIgnoresTheMouseAndFramesFocusOrDefault) {
    button->SetFlat(false);
    button->SetFocusColor(kFocus, true);
    other->setFocus();
    MouseOver();
    EXPECT_FALSE(button->Hover());
    EXPECT_EQ(PixelAt(Grab(button), 4, 4), kInactiveBackground);
    EXPECT_EQ(PixelAt(Grab(button), 0, 5), Palette(QPalette::Light));
    button->setFocus();
    EXPECT_EQ(PixelAt(Grab(button), 0, 5), kFocus);
    EXPECT_EQ(PixelAt(Grab(button), 1, 5), Palette(QPalette::Light));
    other->setFocus();
    button->setDefault(true);
    EXPECT_EQ(PixelAt(Grab(button), 0, 5), kFocus);
    QTest::mousePress(button, Qt::LeftButton, {}, Centre()); // only a press changes colours
    EXPECT_EQ(PixelAt(Grab(button), 4, 4), kActiveBackground);
    EXPECT_EQ(PixelAt(Grab(button), 1, 5), Palette(QPalette::Dark));
    QTest::mouseRelease(button, Qt::LeftButton, {}, Centre());
}

TEST_F(FlatButtonTest, DisabledButtonKeepsTheInactiveColoursAndHoverEndsOnCancelAndFocusLoss) {
    button->setEnabled(false);
    MouseOver();
    EXPECT_FALSE(button->Hover());
    const QImage image = Grab(button);
    EXPECT_EQ(PixelAt(image, 4, 4), kInactiveBackground);
    EXPECT_TRUE(AnyPixel(image, Caption(),
                         button->palette().color(QPalette::Disabled, QPalette::ButtonText)));
    button->setEnabled(true);
    MouseAway();
    MouseOver();
    ASSERT_TRUE(button->Hover());
    button->CancelHover();
    EXPECT_FALSE(button->Hover());
    EXPECT_EQ(PixelAt(Grab(button), 4, 4), kInactiveBackground);
    button->setFocus();
    MouseAway();
    MouseOver();
    ASSERT_TRUE(button->Hover());
    other->setFocus();
    EXPECT_FALSE(button->Hover());
}

} // namespace
} // namespace kestrola::ui
