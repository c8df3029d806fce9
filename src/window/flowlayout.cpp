#include "window/flowlayout.h"

#include <QWidget>
#include <algorithm>
#include <vector>

namespace kestro {

TFlowLayout::TFlowLayout(QWidget* parent, int spacing) : QLayout(parent), spacing_(spacing) {}

TFlowLayout::~TFlowLayout() {
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void TFlowLayout::addItem(QLayoutItem* item) {
    items_.append(item);
}

QLayoutItem* TFlowLayout::takeAt(int index) {
    return index >= 0 && index < items_.size() ? items_.takeAt(index) : nullptr;
}

QSize TFlowLayout::sizeHint() const {
    // Everything in one row.
    int width = 0, height = 0;
    for (const QLayoutItem* item : items_) {
        width += item->sizeHint().width() + (width > 0 ? spacing_ : 0);
        height = std::max(height, item->sizeHint().height());
    }
    const QMargins m = contentsMargins();
    return {width + m.left() + m.right(), height + m.top() + m.bottom()};
}

QSize TFlowLayout::minimumSize() const {
    // The widest item alone.
    QSize size;
    for (const QLayoutItem* item : items_)
        size = size.expandedTo(item->minimumSize());
    const QMargins m = contentsMargins();
    return size + QSize(m.left() + m.right(), m.top() + m.bottom());
}

void TFlowLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    Arrange(rect, true);
}

int TFlowLayout::Arrange(const QRect& rect, bool apply) const {
    const QRect area = rect.marginsRemoved(contentsMargins());
    // Rows of items, each row as wide as fits.
    std::vector<std::vector<QLayoutItem*>> rows(1);
    int rowWidth = 0;
    for (QLayoutItem* item : items_) {
        if (item->isEmpty())
            continue;
        const int w = item->sizeHint().width();
        if (!rows.back().empty() && rowWidth + spacing_ + w > area.width()) {
            rows.emplace_back();
            rowWidth = 0;
        }
        rowWidth += (rows.back().empty() ? 0 : spacing_) + w;
        rows.back().push_back(item);
    }
    int y = area.top();
    for (const std::vector<QLayoutItem*>& row : rows) {
        int width = 0, height = 0;
        for (const QLayoutItem* item : row) {
            width += item->sizeHint().width() + (width > 0 ? spacing_ : 0);
            height = std::max(height, item->sizeHint().height());
        }
        int x = area.right() + 1 - width;  // right-aligned
        for (QLayoutItem* item : row) {
            const QSize size = item->sizeHint();
            if (apply)
                item->setGeometry(QRect(QPoint(std::max(x, area.left()), y), size));
            x += size.width() + spacing_;
        }
        y += height + spacing_;
    }
    const QMargins m = contentsMargins();
    return y - spacing_ - area.top() + m.top() + m.bottom();
}

}  // namespace kestro
