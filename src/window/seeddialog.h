// The Seed dialog: shows the random generator's seed and takes a new one (0 to 4294967295).
#pragma once

#include <QDialog>
#include <cstdint>
#include <optional>

class QLineEdit;
class QPushButton;

namespace kestro {

class TSeedDialog : public QDialog {
    Q_OBJECT

  public:
    TSeedDialog(uint32_t seed, QWidget* parent = nullptr);
    // The seed typed, when it is a whole number from 0 to 4294967295.
    std::optional<uint32_t> Seed() const;
    // Shows the dialog modally; the new seed, or nothing when it was cancelled.
    static std::optional<uint32_t> Ask(QWidget* parent, uint32_t seed);

    QLineEdit* editSeed = nullptr;
    QPushButton* btnOk = nullptr;
};

}  // namespace kestro
