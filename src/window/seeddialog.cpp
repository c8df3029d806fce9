#include "window/seeddialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <charconv>

namespace kestro {

TSeedDialog::TSeedDialog(uint32_t seed, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Seed"));
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto* label = new QLabel(QStringLiteral("Seed of the random generator (0 to 4294967295).\n"
                                            "Reset Network and the shapes draw from it next."),
                             this);
    layout->addWidget(label);
    editSeed = new QLineEdit(QString::number(seed), this);
    editSeed->setObjectName(QStringLiteral("editSeed"));
    editSeed->setMaxLength(10);
    editSeed->selectAll();
    label->setBuddy(editSeed);
    layout->addWidget(editSeed);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    btnOk = buttons->button(QDialogButtonBox::Ok);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // OK only while the text is a seed.
    connect(editSeed, &QLineEdit::textChanged, this,
            [this] { btnOk->setEnabled(Seed().has_value()); });
}

std::optional<uint32_t> TSeedDialog::Seed() const {
    const std::string text = editSeed->text().trimmed().toStdString();
    uint32_t seed = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seed);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return seed;
}

std::optional<uint32_t> TSeedDialog::Ask(QWidget* parent, uint32_t seed) {
    TSeedDialog dialog(seed, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Seed();
}

}  // namespace kestro
