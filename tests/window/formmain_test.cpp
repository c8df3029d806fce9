#include <QtTest>

#include "formmain.h"

class FormMainTest : public QObject {
    Q_OBJECT

  private slots:
    void captionAndMinimumSize() {
        kestro::TFormMain form;
        form.show();
        QCOMPARE(form.windowTitle(), QStringLiteral("Kestro Neural Network 0.9 Beta"));
        form.resize(100, 100);
        QVERIFY(form.width() >= 300);
        QVERIFY(form.height() >= 300);
        QVERIFY(form.close());
    }
};

QTEST_MAIN(FormMainTest)
#include "formmain_test.moc"
