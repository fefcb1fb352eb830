#include "screens/dropdownlist.h"

#include "screens/widesttext.h"
#include "userdata/sortedlist.h"

#include <QCoreApplication>
#include <QItemDelegate>
#include <QListView>
#include <QPointer>
#include <QProxyStyle>
#include <QSignalBlocker>

namespace screens {

namespace {

// A drop-down list that opens below its box and scrolls, whatever the style
// would do by default: a menu the height of all entries, placed around the
// chosen one, measures the width of every text each time it opens.
class DropDownBelowStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override {
        if (hint == QStyle::SH_ComboBox_Popup)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

DropDownList::DropDownList(QWidget *parent) : QComboBox(parent) {}

ListFace *DropDownList::entries() const {
    return qobject_cast<ListFace *>(model());
}

void DropDownList::setEntries(ListFace *entries) {
    if (ListFace *shown = this->entries())
        disconnect(shown, nullptr, this, nullptr);
    // A renamed entry changes the text of a box that has it chosen: the box
    // tells nobody, as for any other change of the entries. This connection,
    // made before the box's own, holds its signals for that; the one made
    // after it lets them go again.
    connect(entries, &QAbstractItemModel::dataChanged, this,
            [this] { m_wasBlocked = blockSignals(true); });
    {
        const QSignalBlocker quiet(this);
        setModel(entries);
        setCurrentIndex(-1);
    }
    connect(entries, &QAbstractItemModel::dataChanged, this,
            [this] { blockSignals(m_wasBlocked); });
    // The box's own handling of its model's changes runs first; these
    // connections, made after it, then put its choice right.
    connect(entries, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this] { holdChoice(false); });
    connect(entries, &QAbstractItemModel::rowsInserted, this, [this] { settleChoice(); });
    connect(entries, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex &, int first, int last) {
                const int chosen = currentIndex();
                holdChoice(chosen >= first && chosen <= last);
            });
    connect(entries, &QAbstractItemModel::rowsRemoved, this, [this] { settleChoice(); });
    connect(entries, &QAbstractItemModel::modelAboutToBeReset, this, [this] { holdChoice(true); });
    connect(entries, &QAbstractItemModel::modelReset, this, [this] { settleChoice(); });
}

void DropDownList::holdChoice(bool goes) {
    m_hadChoice = currentIndex() >= 0;
    m_choiceGoes = goes;
    m_wasBlocked = blockSignals(true);
}

void DropDownList::settleChoice() {
    if (!m_hadChoice || m_choiceGoes)
        setCurrentIndex(-1);
    blockSignals(m_wasBlocked);
}

int DropDownList::chosenNumber() const {
    const int chosen = currentIndex();
    const ListFace *shown = entries();
    return chosen >= 0 && shown ? shown->numberAt(chosen) : 0;
}

void DropDownList::prepareView() {
    if (m_viewMade)
        return;
    m_viewMade = true;
    // One style for every such box, for the life of the application. (A
    // box given a style makes its list at once.)
    static QPointer<DropDownBelowStyle> dropDownBelow;
    if (!dropDownBelow) {
        dropDownBelow = new DropDownBelowStyle;
        dropDownBelow->setParent(QCoreApplication::instance());
    }
    setStyle(dropDownBelow);
    if (auto *list = qobject_cast<QListView *>(view()))
        list->setUniformItemSizes(true);
    setItemDelegate(new WidestTextDelegate<QItemDelegate>(this));
    if (m_whenViewMade)
        m_whenViewMade(view());
}

void DropDownList::whenViewMade(std::function<void(QAbstractItemView *)> whenMade) {
    m_whenViewMade = std::move(whenMade);
    if (m_viewMade && m_whenViewMade)
        m_whenViewMade(view());
}

void DropDownList::showPopup() {
    prepareView();
    QComboBox::showPopup();
}

} // namespace screens
