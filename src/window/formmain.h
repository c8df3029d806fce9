// The main window of the program.
#pragma once

#include <QMainWindow>

namespace kestro {

class TFormMain : public QMainWindow {
    Q_OBJECT

  public:
    explicit TFormMain(QWidget* parent = nullptr);

  private:
    void FormCreate();
};

}  // namespace kestro
