#include "ui/ComComboBox.h"

#include <QSignalBlocker>

TComComboBox::TComComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    FSelect.OnChange = [this] { ShowSelect(); };
    connect(this, &QComboBox::activated, this, [this](int index) { FSelect.Choose(index); });
}

QStringList TComComboBox::ShownItems() const {
    QStringList items;
    for (int i = 0; i < count(); ++i) items.append(itemText(i));
    return items;
}

void TComComboBox::ShowSelect() {
    const QSignalBlocker quiet(this);
    if (ShownItems() != FSelect.GetItems()) {
        clear();
        addItems(FSelect.GetItems());
    }
    setCurrentIndex(FSelect.GetItemIndex());
}
