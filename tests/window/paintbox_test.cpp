// The paint box at the screen's pixel ratio: its surface holds the widget's size times the
// ratio in pixels and is shown pixel for pixel. Run at QT_SCALE_FACTOR 1, 1.5 and 2.
#include <QImage>
#include <QPixmap>
#include <QtTest>
#include <cmath>

#include "views/canvas.h"
#include "window/paintbox.h"

class PaintBoxTest : public QObject {
    Q_OBJECT

  private slots:
    void surfaceIsAtTheWidgetsRatioAndShownPixelForPixel() {
        kestro::TPaintBox box;
        box.resize(101, 57);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        const qreal ratio = box.devicePixelRatioF();
        const auto pixels = [ratio](int logical) {
            return static_cast<int>(std::ceil(logical * ratio - 1e-6));
        };
        const QImage& surface = box.Surface();
        QCOMPARE(surface.devicePixelRatio(), ratio);
        QCOMPARE(surface.size(), QSize(pixels(101), pixels(57)));
        QCOMPARE(kestro::LogicalSize(surface), QSize(101, 57));

        // A pattern of single device pixels survives only if nothing scales the picture.
        for (int y = 0; y < surface.height(); ++y)
            for (int x = 0; x < surface.width(); ++x)
                box.Surface().setPixel(x, y, (x + y) % 2 ? 0xFF204080u : 0xFFF0C010u);
        const QImage shown = box.grab().toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(shown.devicePixelRatio(), ratio);
        // The grab covers round(logical x ratio) pixels; the surface may hold one more.
        QVERIFY(shown.width() >= surface.width() - 1 && shown.height() >= surface.height() - 1);
        for (int y = 0; y < std::min(shown.height(), surface.height()); ++y)
            for (int x = 0; x < std::min(shown.width(), surface.width()); ++x)
                QVERIFY2(shown.pixel(x, y) == surface.pixel(x, y),
                         qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));

        // A new size makes a new surface at the same ratio.
        QSignalSpy resized(&box, &kestro::TPaintBox::resized);
        box.resize(80, 40);
        QTRY_VERIFY(resized.count() >= 1);
        QCOMPARE(box.Surface().size(), QSize(pixels(80), pixels(40)));
        QCOMPARE(box.Surface().devicePixelRatio(), ratio);
    }
};

QTEST_MAIN(PaintBoxTest)
#include "paintbox_test.moc"
