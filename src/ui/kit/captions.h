// Captions: the label a box goes by, for the Alt key and for screen readers.
#pragma once

class QLabel;
class QWidget;

namespace tarvino {

// Makes caption the label of box, which the keyboard (its Alt key) and screen readers go by. A
// drop-down list so captioned keeps its chosen entry readable: the list's name comes from the
// caption, its value and chosen row from the entry (give it no accessible name of its own).
void setCaption(QLabel* caption, QWidget* box);
// The same, where the box is placed: returns box.
template <typename W>
W* captioned(QLabel* caption, W* box)
{
    setCaption(caption, box);
    return box;
}

} // namespace tarvino
