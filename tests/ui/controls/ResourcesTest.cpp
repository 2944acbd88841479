#include "controls/Resources.h"

#include "controls/SvgDrawing.h"
#include "resources/IconResources.h"

#include <QFile>
#include <gtest/gtest.h>

namespace kestrola::ui {
namespace {

// The images drawn at build time must be the very pixels the SVG gives at that size, and the
// ones read at start must be there (else the start quietly goes back to drawing them).
TEST(ImageResources, DrawnAheadOfTimeMatchesTheSvg) {
    const int atStart[] = {core::kNewMessageIcon, core::kBlinkIcon, core::kNormalIcon,
                           core::kGroupIcon, core::kComputerIcon};
    for (const int id : core::ImageResourceIds()) {
        const QString name = QString::fromLatin1(core::ImageResourceName(id).data());
        QSvgRenderer svg(ImageResourcePath(id));
        ASSERT_TRUE(svg.isValid()) << id;
        EXPECT_TRUE(QFile::exists(QStringLiteral(":/icons/drawn/%1.pixels").arg(name))) << id;
        for (const int side : {0, 16, 24, 32, 48}) {
            const QSize size(side, side);
            const QImage expected = DrawSvg(svg, size);
            EXPECT_EQ(LoadImageResource(id, size).toImage().convertToFormat(expected.format()),
                      expected)
                << id << " at " << side;
            if (side != 0 &&
                std::find(std::begin(atStart), std::end(atStart), id) != std::end(atStart)) {
                EXPECT_TRUE(QFile::exists(
                    QStringLiteral(":/icons/drawn/%1-%2x%2.pixels").arg(name).arg(side)))
                    << id << " at " << side;
            }
        }
    }
}

} // namespace
} // namespace kestrola::ui
