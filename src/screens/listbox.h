#pragma once

#include <QListWidget>

namespace screens {

// A list box in which the keyboard chooses. Tabbing into a list that has no
// chosen entry only marks its first row as the current one; any movement key
// (the arrows, Home, End, Page Up, Page Down) then chooses the row it lands
// on, even when that is the row already marked, so that the list's choice
// handling runs as it does for a click.
class ListBox : public QListWidget {
    Q_OBJECT
public:
    explicit ListBox(QWidget *parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace screens
