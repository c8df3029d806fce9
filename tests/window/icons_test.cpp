// The compiled-in icons and logos: present, at the sizes the windows use, sharp at a device
// pixel ratio of 2, and with transparent grounds where they sit on other colours.
#include <QImage>
#include <QSet>
#include <QtTest>

#include "core/units/errors.h"
#include "window/icons.h"

namespace {

// The image of `icon` at `size` logical pixels and device pixel ratio `ratio`.
QImage IconImage(const QIcon& icon, QSize size, qreal ratio) {
    return icon.pixmap(size, ratio).toImage().convertToFormat(QImage::Format_ARGB32);
}

// Number of distinct colours in `image`; a blown-up small picture has far fewer than a drawing.
int DistinctColours(const QImage& image) {
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixel(x, y));
    return static_cast<int>(colours.size());
}

}  // namespace

class IconsTest : public QObject {
    Q_OBJECT

  private slots:
    void applicationIconHasEveryDesktopSize() {
        const QIcon icon = kestro::ApplicationIcon();
        QVERIFY(!icon.isNull());
        const QList<QSize> sizes = icon.availableSizes();
        for (int size : {16, 24, 32, 48, 64, 128, 256}) {
            QVERIFY2(sizes.contains(QSize(size, size)), qPrintable(QString::number(size)));
            const QImage image = IconImage(icon, QSize(size, size), 1.0);
            QCOMPARE(image.size(), QSize(size, size));
            // A rounded tile: the very corner is see-through, the middle is opaque.
            QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
            QCOMPARE(qAlpha(image.pixel(size / 2, size / 2)), 255);
        }
    }

    void actionIconsAreDistinctSixteenPixelImages() {
        QList<QImage> images;
        for (int index :
             {kestro::IconHelp, kestro::IconAbout, kestro::IconSavePointsAs, kestro::IconLearn}) {
            const QIcon icon = kestro::ActionIcon(index);
            QVERIFY(!icon.isNull());
            const QImage image = IconImage(icon, QSize(16, 16), 1.0);
            QCOMPARE(image.size(), QSize(16, 16));
            QCOMPARE(qAlpha(image.pixel(0, 0)), 0);  // drawn on a transparent ground
            QVERIFY(DistinctColours(image) > 8);
            for (const QImage& other : images)
                QVERIFY(image != other);
            images.append(image);
        }
    }

    void actionIconsAreDrawnAgainForRatioTwo() {
        for (int index : {0, 1, 5, 6}) {
            const QPixmap pixmap = kestro::ActionIcon(index).pixmap(QSize(16, 16), 2.0);
            QCOMPARE(pixmap.size(), QSize(32, 32));
            QCOMPARE(pixmap.devicePixelRatio(), 2.0);
            // The double-size drawing, not the 16-pixel one blown up: no 2 x 2 block structure.
            const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
            const QImage halved = image.scaled(16, 16).scaled(32, 32);
            QVERIFY(image != halved);
        }
    }

    void unusedActionIconPositionsAreFaults() {
        for (int index : {-1, 2, 3, 4, 7})
            QVERIFY_THROWS_EXCEPTION(kestro::EAssertionFailed, kestro::ActionIcon(index));
    }

    void learnModeArrowPointsDown() {
        const QImage image = IconImage(kestro::LearnModeArrow(), QSize(7, 4), 1.0);
        QCOMPARE(image.size(), QSize(7, 4));
        // Rows 7, 5, 3 and 1 pixels wide, centred.
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 7; ++x) {
                const bool inside = x >= y && x <= 6 - y;
                QCOMPARE(qAlpha(image.pixel(x, y)) == 255, inside);
            }
        QCOMPARE(kestro::LearnModeArrow().pixmap(QSize(7, 4), 2.0).size(), QSize(14, 8));
    }

    void logosKeepTheirLogicalSizeAtEveryRatio_data() {
        QTest::addColumn<int>("which");
        QTest::addColumn<QSize>("logical");
        QTest::newRow("product") << 0 << QSize(90, 90);
        QTest::newRow("product wide") << 1 << QSize(119, 42);
        QTest::newRow("maker") << 2 << QSize(120, 50);
    }

    void logosKeepTheirLogicalSizeAtEveryRatio() {
        QFETCH(int, which);
        QFETCH(QSize, logical);
        for (qreal ratio : {1.0, 1.25, 1.5, 2.0, 3.0}) {
            const QPixmap pixmap = which == 0   ? kestro::ProductLogo(ratio)
                                   : which == 1 ? kestro::ProductLogoWide(ratio)
                                                : kestro::MakerLogo(ratio);
            QVERIFY(!pixmap.isNull());
            QCOMPARE(pixmap.devicePixelRatio(), ratio);
            QCOMPARE(pixmap.width(), qRound(logical.width() * ratio));
            QCOMPARE(pixmap.height(), qRound(logical.height() * ratio));
            QVERIFY(qAbs(pixmap.deviceIndependentSize().width() - logical.width()) < 1.0);
            QVERIFY(qAbs(pixmap.deviceIndependentSize().height() - logical.height()) < 1.0);
        }
        // The ratio-2 picture is drawn at that size: more detail than the 1x one blown up.
        const QPixmap one = which == 0   ? kestro::ProductLogo()
                            : which == 1 ? kestro::ProductLogoWide()
                                         : kestro::MakerLogo();
        const QPixmap two = which == 0   ? kestro::ProductLogo(2.0)
                            : which == 1 ? kestro::ProductLogoWide(2.0)
                                         : kestro::MakerLogo(2.0);
        QVERIFY(DistinctColours(two.toImage()) > DistinctColours(one.toImage()));
    }

    void logosStandOnTransparentOrRoundGrounds() {
        // The About box is white; the logos must not bring a background box of their own.
        for (const QPixmap& pixmap :
             {kestro::ProductLogo(), kestro::ProductLogoWide(), kestro::MakerLogo()}) {
            const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
            QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
            QCOMPARE(qAlpha(image.pixel(image.width() - 1, image.height() - 1)), 0);
        }
        // The square logo is a round badge: opaque in the middle.
        QCOMPARE(qAlpha(kestro::ProductLogo().toImage().pixel(45, 45)), 255);
    }

    void aZeroOrNegativeRatioFallsBackToOne() {
        QCOMPARE(kestro::MakerLogo(0.0).size(), QSize(120, 50));
        QCOMPARE(kestro::MakerLogo(-2.0).devicePixelRatio(), 1.0);
    }
};

QTEST_MAIN(IconsTest)
#include "icons_test.moc"
