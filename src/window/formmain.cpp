#include "formmain.h"

#include <QApplication>

#include "units/random.h"

namespace kestro {

TFormMain::TFormMain(QWidget* parent) : QMainWindow(parent) {
    setGeometry(421, 139, 593, 643);
    setMinimumSize(300, 300);
    FormCreate();
}

void TFormMain::FormCreate() {
    setWindowTitle(QStringLiteral("Kestro Neural Network 0.9 Beta"));
    QApplication::setApplicationDisplayName(QString());
    RandomizeFromClock();
}

}  // namespace kestro
