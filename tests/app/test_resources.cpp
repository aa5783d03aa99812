// The artwork is compiled in and loads as the window expects it.
#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

namespace {

TEST(Resources, CarPictureIs150SquareOnWhite) {
    const QImage car(QStringLiteral(":/tessaro/car.png"));
    ASSERT_FALSE(car.isNull());
    EXPECT_EQ(car.size(), QSize(150, 150));
    EXPECT_FALSE(car.hasAlphaChannel()); // the pointer is XORed into it
    for (const QPoint corner : {QPoint(0, 0), QPoint(149, 0), QPoint(0, 149), QPoint(149, 149)}) {
        EXPECT_EQ(car.pixel(corner), qRgb(255, 255, 255)) << corner.x() << "," << corner.y();
    }
    // The car itself sits on the pivot.
    EXPECT_NE(car.pixel(75, 75), qRgb(255, 255, 255));
}

TEST(Resources, IconsLoad) {
    const QImage icon(QStringLiteral(":/tessaro/icon.png"));
    EXPECT_EQ(icon.size(), QSize(32, 32));
    EXPECT_EQ(QImage(QStringLiteral(":/tessaro/icon-16.png")).size(), QSize(16, 16));
    EXPECT_EQ(QImage(QStringLiteral(":/tessaro/icon-256.png")).size(), QSize(256, 256));
    QFile svg(QStringLiteral(":/tessaro/icon.svg"));
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    EXPECT_TRUE(svg.readAll().contains("<svg"));
}

} // namespace
