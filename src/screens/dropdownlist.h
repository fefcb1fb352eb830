#pragma once

#include <QComboBox>

#include <functional>

namespace modMain {
class ListFace;
} // namespace modMain

namespace screens {

using modMain::ListFace;

// A drop-down list showing the entries of a sorted list (a ListFace of a
// SortedListModel; see sortedlist.h). Its entries change only through that
// model: the combo box's own addItem, removeItem and clear change nothing.
//
// It keeps its own choice while the entries change, and tells nobody about
// it (no signal goes out): nobody chose anything. An entry that moves keeps
// its choice; a chosen entry that goes leaves no choice (the box never moves
// on to another entry by itself); entries added to a box without a choice
// leave it without one (a plain combo box would pick the first entry of a
// list that fills up from empty); a list filled anew has no choice.
//
// The list it opens is made only when it first opens (or a screen reader
// asks for it): below the box, scrolling, every row one line high and as
// wide as the widest entry (not a menu as tall as all its entries, which
// would measure every text each time it opens).
class DropDownList : public QComboBox {
    Q_OBJECT
public:
    explicit DropDownList(QWidget *parent = nullptr);

    // Shows `entries` (the box takes no ownership).
    void setEntries(ListFace *entries);
    ListFace *entries() const;

    // The number of the chosen entry; 0 when none is chosen.
    int chosenNumber() const;

    // Makes and sets up the list the box opens, once; `whenMade` runs for it
    // then (or at once when it is made already).
    void prepareView();
    void whenViewMade(std::function<void(QAbstractItemView *view)> whenMade);

    void showPopup() override;

private:
    void holdChoice(bool goes);
    void settleChoice();

    bool m_viewMade = false;
    std::function<void(QAbstractItemView *)> m_whenViewMade;
    // While the entries change: the choice before, whether its entry goes,
    // and whether the box's signals were blocked already.
    bool m_hadChoice = false;
    bool m_choiceGoes = false;
    bool m_wasBlocked = false;
};

} // namespace screens
