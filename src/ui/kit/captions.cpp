// Captions: the label a box goes by, for the Alt key and for screen readers.
#include "kit/captions.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>

namespace tarvino {

void setCaption(QLabel* caption, QWidget* box)
{
    caption->setBuddy(box);
    if (auto* list = qobject_cast<QComboBox*>(box)) {
        // A screen reader reads the chosen entry of a drop-down list as its value and as the chosen
        // row of its list; the list itself marks that row only while it is open.
        const auto mark = [list](int index) {
            QItemSelectionModel* chosen = list->view()->selectionModel();
            if (index < 0)
                chosen->clear();
            else
                chosen->setCurrentIndex(
                    list->model()->index(index, list->modelColumn(), list->rootModelIndex()),
                    QItemSelectionModel::ClearAndSelect);
        };
        QObject::connect(list, &QComboBox::currentIndexChanged, list, mark);
        mark(list->currentIndex());
    }
}

} // namespace tarvino
