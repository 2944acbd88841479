#include "UiTestSupport.h"
#include "controls/Resources.h"
#include "resources/IconResources.h"

#include <gtest/gtest.h>

namespace kestrola::ui {
namespace {

// An image that drew nothing would be wholly transparent.
bool HasInk(const QPixmap& pixmap) {
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0)
                return true;
    return false;
}

TEST(ImageResources, EveryNumberedImageLoadsAndDraws) {
    for (const int id : core::ImageResourceIds()) {
        EXPECT_TRUE(HasInk(LoadImageResource(id))) << id;
        EXPECT_TRUE(ImageResourcePath(id).startsWith(QStringLiteral(":/icons/%1-").arg(id)));
        const QPixmap sized = LoadImageResource(id, QSize(24, 24));
        EXPECT_EQ(sized.size(), QSize(24, 24)) << id;
        EXPECT_TRUE(HasInk(sized)) << id;
    }
    EXPECT_TRUE(LoadImageResource(280).isNull());
    // Toolbar and tray icons are 16 pixels; the notice icon is 32.
    EXPECT_EQ(LoadImageResource(core::kNewIcon).size(), QSize(16, 16));
    EXPECT_EQ(LoadImageResource(core::kNoticeIcon).size(), QSize(32, 32));
    EXPECT_EQ(LinkCursor().shape(), Qt::BitmapCursor);
}

} // namespace
} // namespace kestrola::ui
