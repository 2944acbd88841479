#include "controls/FlatButton.h"

#include "UiTestSupport.h"
#include "controls/Conversions.h"
#include "resources/IconResources.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
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

class CountingButton : public FlatButton {
public:
    using FlatButton::FlatButton;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent* event) override {
        ++paints;
        FlatButton::paintEvent(event);
    }
};

class FlatButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        host.resize(300, 120);
        button = new CountingButton(QStringLiteral("Send"), &host);
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

    QWidget host;
    CountingButton* button = nullptr;
    QLineEdit* other = nullptr;
};

TEST_F(FlatButtonTest, FlatHoverChangesColoursAndAddsAThinRaisedEdge) {
    MouseAway();
    QImage image = Grab(button);
    const int w = button->width(), h = button->height();
    EXPECT_FALSE(button->Hover());
    EXPECT_EQ(PixelAt(image, 4, 4), kInactiveBackground);
    EXPECT_EQ(PixelAt(image, 0, h / 2), kInactiveBackground) << "no edge while resting";
    EXPECT_EQ(PixelAt(image, w - 1, h / 2), kInactiveBackground);
    EXPECT_TRUE(AnyPixel(image, Caption(), kInactiveForeground));
    EXPECT_FALSE(AnyPixel(image, Caption(), kActiveForeground));

    MouseOver();
    EXPECT_TRUE(button->Hover());
    image = Grab(button);
    EXPECT_EQ(PixelAt(image, 4, 4), kActiveBackground);
    EXPECT_EQ(PixelAt(image, 0, h / 2), Opaque(button->palette().color(QPalette::Light)));
    EXPECT_EQ(PixelAt(image, w / 2, 0), Opaque(button->palette().color(QPalette::Light)));
    EXPECT_EQ(PixelAt(image, w - 1, h / 2), Opaque(button->palette().color(QPalette::Dark)));
    EXPECT_EQ(PixelAt(image, w / 2, h - 1), Opaque(button->palette().color(QPalette::Dark)));
    EXPECT_TRUE(AnyPixel(image, Caption(), kActiveForeground));
    EXPECT_FALSE(AnyPixel(image, Caption(), kInactiveForeground));

    MouseAway();
    EXPECT_FALSE(button->Hover());
    image = Grab(button);
    EXPECT_EQ(PixelAt(image, 4, 4), kInactiveBackground);
    EXPECT_EQ(PixelAt(image, 0, h / 2), kInactiveBackground);
}

TEST_F(FlatButtonTest, FlatPressSinksTheEdgeAndMovesTheIconByOnePixel) {
    QPixmap square(8, 8);
    square.fill(Qt::magenta);
    button->setText(QString());
    button->SetIcon(square);
    const int w = button->width(), h = button->height();
    const QPoint icon((w - 8) / 2, (h - 8) / 2);

    MouseOver();
    QImage image = Grab(button);
    EXPECT_EQ(PixelAt(image, icon.x(), icon.y()), QColor(Qt::magenta));
    EXPECT_EQ(PixelAt(image, icon.x() + 8, icon.y() + 8), kActiveBackground);

    QSignalSpy clicks(button, &QPushButton::clicked);
    QTest::mousePress(button, Qt::LeftButton, {}, Centre());
    image = Grab(button);
    EXPECT_TRUE(button->isDown());
    EXPECT_EQ(PixelAt(image, icon.x(), icon.y()), kActiveBackground);
    EXPECT_EQ(PixelAt(image, icon.x() + 8, icon.y() + 8), QColor(Qt::magenta));
    EXPECT_EQ(PixelAt(image, 0, h / 2), Opaque(button->palette().color(QPalette::Dark)));
    EXPECT_EQ(PixelAt(image, w / 2, 0), Opaque(button->palette().color(QPalette::Dark)));
    EXPECT_EQ(PixelAt(image, w - 1, h / 2), Opaque(button->palette().color(QPalette::Light)));
    EXPECT_EQ(PixelAt(image, w / 2, h - 1), Opaque(button->palette().color(QPalette::Light)));

    QTest::mouseRelease(button, Qt::LeftButton, {}, Centre());
    EXPECT_EQ(clicks.count(), 1);
    image = Grab(button);
    EXPECT_EQ(PixelAt(image, icon.x(), icon.y()), QColor(Qt::magenta));
}

TEST_F(FlatButtonTest, FastSecondClickIsASecondPress) {
    QSignalSpy clicks(button, &QPushButton::clicked);
    QTest::mouseDClick(host.windowHandle(), Qt::LeftButton, {}, button->geometry().center());
    EXPECT_EQ(clicks.count(), 2);
}

TEST_F(FlatButtonTest, CaptionMovesWithThePress) {
    MouseOver();
    const QRect resting = Caption();
    QTest::mousePress(button, Qt::LeftButton, {}, Centre());
    EXPECT_EQ(Caption(), resting.translated(1, 1));
    const QImage image = Grab(button);
    EXPECT_TRUE(AnyPixel(image, Caption(), kActiveForeground));
    QTest::mouseRelease(button, Qt::LeftButton, {}, Centre());
}

TEST_F(FlatButtonTest, RaisedLookIgnoresTheMouseAndFramesFocusOrDefault) {
    button->SetFlat(false);
    button->SetFocusColor(kFocus, true);
    other->setFocus();
    MouseOver();
    EXPECT_FALSE(button->Hover());
    QImage image = Grab(button);
    EXPECT_EQ(PixelAt(image, 4, 4), kInactiveBackground);
    EXPECT_EQ(PixelAt(image, 0, 5), Opaque(button->palette().color(QPalette::Light)));

    button->setFocus();
    image = Grab(button);
    EXPECT_EQ(PixelAt(image, 0, 5), kFocus);
    EXPECT_EQ(PixelAt(image, 1, 5), Opaque(button->palette().color(QPalette::Light)));

    other->setFocus();
    button->setDefault(true);
    image = Grab(button);
    EXPECT_EQ(PixelAt(image, 0, 5), kFocus);

    // Only a press changes a raised button's colours.
    QTest::mousePress(button, Qt::LeftButton, {}, Centre());
    image = Grab(button);
    EXPECT_EQ(PixelAt(image, 4, 4), kActiveBackground);
    EXPECT_EQ(PixelAt(image, 1, 5), Opaque(button->palette().color(QPalette::Dark)));
    QTest::mouseRelease(button, Qt::LeftButton, {}, Centre());
}

TEST_F(FlatButtonTest, DisabledButtonKeepsTheInactiveColours) {
    button->setEnabled(false);
    MouseOver();
    EXPECT_FALSE(button->Hover());
    const QImage image = Grab(button);
    EXPECT_EQ(PixelAt(image, 4, 4), kInactiveBackground);
    EXPECT_FALSE(AnyPixel(image, Caption(), kInactiveForeground));
    EXPECT_FALSE(AnyPixel(image, Caption(), kActiveForeground));
    EXPECT_TRUE(AnyPixel(image, Caption(),
                         button->palette().color(QPalette::Disabled, QPalette::ButtonText)));
}

TEST_F(FlatButtonTest, HoverEndsOnCancelAndOnFocusLoss) {
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

TEST_F(FlatButtonTest, ColourSettersRepaintOnlyWhenAsked) {
    QApplication::processEvents();
    const int before = button->paints;
    button->SetActiveBackground(Qt::blue, false);
    button->SetInactiveForeground(Qt::yellow, false);
    QApplication::processEvents();
    EXPECT_EQ(button->paints, before);
    EXPECT_EQ(button->ActiveBackground(), QColor(Qt::blue));

    button->SetInactiveBackground(Qt::cyan, true);
    QApplication::processEvents();
    EXPECT_GT(button->paints, before);

    button->ResetInactiveBackground(false);
    EXPECT_EQ(button->InactiveBackground(), Opaque(button->palette().color(QPalette::Button)));
}

TEST_F(FlatButtonTest, IconResourceSetsTheIconSize) {
    EXPECT_TRUE(button->SetIcon(core::kSendIcon));
    auto face = button->Face();
    EXPECT_EQ(face.iconAt.x, 3);
    EXPECT_EQ(face.iconAt.y, (34 - 16) / 2);
    EXPECT_FALSE(button->SetIcon(280));
}

// A strip of buttons in every state, in the platform's colours and in custom ones, for a person
// to look at.
TEST(FlatButtonPicture, StripOfEveryState) {
    QWidget strip;
    strip.setWindowTitle(QStringLiteral("Flat buttons"));
    auto* rows = new QVBoxLayout(&strip);
    const core::ButtonColorBlock dark{0x00403530, 0x00705A48, 0x00E0E0E0, 0x00FFFFFF, 0x0000A5FF};
    std::vector<std::pair<QWidget*, FlatButton*>> rowsAndHover;
    for (const bool custom : {false, true}) {
        auto* rowWidget = new QWidget;
        rows->addWidget(rowWidget);
        auto* row = new QHBoxLayout(rowWidget);
        const auto add = [&](const QString& text, bool flat, int icon) {
            auto* column = new QVBoxLayout;
            auto* label = new QLabel(text);
            label->setAlignment(Qt::AlignHCenter);
            auto* b = new FlatButton(icon == core::kSendIcon ? QStringLiteral("&Send")
                                                             : QStringLiteral("&New"));
            b->setFixedSize(84, 26);
            if (icon != 0)
                b->SetIcon(icon);
            b->SetFlat(flat);
            if (custom)
                b->SetColours(dark, false);
            column->addWidget(label);
            column->addWidget(b);
            row->addLayout(column);
            return b;
        };
        add(QStringLiteral("flat"), true, core::kNewIcon);
        FlatButton* hover = add(QStringLiteral("flat hover"), true, core::kNewIcon);
        add(QStringLiteral("flat pressed"), true, core::kNewIcon)->setDown(true);
        add(QStringLiteral("raised"), false, core::kSendIcon);
        add(QStringLiteral("raised default"), false, core::kSendIcon)->setDefault(true);
        add(QStringLiteral("raised pressed"), false, core::kSendIcon)->setDown(true);
        add(QStringLiteral("disabled"), true, core::kNewIcon)->setEnabled(false);
        add(QStringLiteral("icon only"), true, core::kScanIcon)->setText(QString());
        add(QStringLiteral("text only"), false, 0);
        rowsAndHover.emplace_back(rowWidget, hover);
    }
    ASSERT_TRUE(testing::ShowAndActivate(&strip));

    // The mouse can hover one button at a time: each row is taken while its button hovers.
    QImage picture(strip.size(), QImage::Format_RGB32);
    picture.fill(strip.palette().color(QPalette::Window));
    QPainter painter(&picture);
    for (const auto& [rowWidget, hover] : rowsAndHover) {
        QTest::mouseMove(hover, hover->rect().center());
        EXPECT_TRUE(hover->Hover());
        painter.drawImage(rowWidget->pos(), Grab(rowWidget));
    }
    painter.end();
    const QString path = testing::ScreensDir() + QStringLiteral("/flat-buttons.png");
    ASSERT_TRUE(picture.save(path));
}

} // namespace
} // namespace kestrola::ui
