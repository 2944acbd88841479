#include "UiTestSupport.h"
#include "controls/Resources.h"
#include "resources/IconResources.h"

#include <QPainter>
#include <gtest/gtest.h>

namespace kestrola::ui {
namespace {

// An image that drew nothing would be wholly transparent.
bool HasInk(const QPixmap& pixmap) {
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 0)
                return true;
        }
    }
    return false;
}

TEST(ImageResources, EveryNumberedImageLoadsAndDraws) {
    for (const int id : core::ImageResourceIds()) {
        const QPixmap natural = LoadImageResource(id);
        ASSERT_FALSE(natural.isNull()) << id;
        EXPECT_TRUE(HasInk(natural)) << id;
        for (const int side : {16, 24}) {
            const QPixmap sized = LoadImageResource(id, QSize(side, side));
            EXPECT_EQ(sized.size(), QSize(side, side)) << id;
            EXPECT_TRUE(HasInk(sized)) << id;
        }
    }
    EXPECT_TRUE(LoadImageResource(280).isNull());
    EXPECT_TRUE(ImageResourcePath(280).isEmpty());
    EXPECT_EQ(ImageResourcePath(263), QStringLiteral(":/icons/263-new.svg"));
    // Toolbar and tray icons are 16 pixels; the notice icon is 32.
    EXPECT_EQ(LoadImageResource(core::kNewIcon).size(), QSize(16, 16));
    EXPECT_EQ(LoadImageResource(core::kNoticeIcon).size(), QSize(32, 32));
    EXPECT_EQ(LinkCursor().shape(), Qt::BitmapCursor);
}

// Every image at 16 and 24 pixels on light and dark ground, for a person to look at.
TEST(ImagePicture, IconSheet) {
    const auto ids = core::ImageResourceIds();
    const int cell = 44;
    QImage sheet(cell * static_cast<int>(ids.size()), cell * 2 + 112, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    painter.fillRect(0, cell, sheet.width(), cell, QColor(0x30, 0x35, 0x40));
    int x = 0;
    for (const int id : ids) {
        if (id == core::kAboutBitmap) {
            painter.drawPixmap(2, cell * 2 + 22, LoadImageResource(id));
            continue;
        }
        for (const int row : {0, 1}) {
            painter.drawPixmap(x + 2, row * cell + 2, LoadImageResource(id, QSize(16, 16)));
            painter.drawPixmap(x + 18, row * cell + 18, LoadImageResource(id, QSize(24, 24)));
        }
        painter.setPen(Qt::black);
        painter.drawText(x + 2, cell * 2 + 15, QString::number(id));
        x += cell;
    }
    painter.end();
    EXPECT_TRUE(sheet.save(testing::ScreensDir() + QStringLiteral("/icons.png")));
}

} // namespace
} // namespace kestrola::ui
