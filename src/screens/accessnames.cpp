#include "screens/accessnames.h"

#include "screens/dropdownlist.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>

namespace screens {

QList<ControlName> MainWindowNames() {
    return {
        {"lstCatView", "lblCatView", nullptr},
        {"cmbUrlCat", "lblUrlCat", nullptr},
        {"txtCatAdd", "lblCatAdd", nullptr},
        {"cmbCatDel", "lblCatDel", nullptr},
        {"cmbCatMod", "lblCatMod", nullptr},
        {"txtCatMod", "lblCatModCh", nullptr},
        {"lstUrlView", "lblUrlView", nullptr},
        // The description box has no prompt: it shows what the list chose.
        {"txtUrlViewDesc", nullptr, "Description of the chosen URL"},
        {"txtUrlAdd", "lblUrlAdd", nullptr},
        {"txtUrlAddCh", "lblUrlAddCh", nullptr},
        {"cmbUrlDel", "lblUrlDel", nullptr},
        {"cmbUrlMod", "lblUrlMod", nullptr},
        {"txtUrlMod", "lblUrlModCh", nullptr},
        {"txtUrlModDesc", "lblUrlModDesc", nullptr},
        {"txtUrlFind", "lblUrlFind", nullptr},
        {"lstUrlFind", "lblUrlFindCh", nullptr},
        {"lstTrash", "lblTrash", nullptr},
        {"txtUrlFindDesc", nullptr, "Description of the chosen URL"},
        {"lstCatImp", "lblCatImpCh", nullptr},
        // The progress bar has no prompt: it shows how far an import is.
        {"prgCatImp", nullptr, "Progress of the import"},
        {"cmbCatImp", "lblCatImpCat", nullptr},
    };
}

QList<ControlName> LoginWindowNames() {
    return {
        {"txtUser", "lblUser", nullptr},         {"txtPass", "lblPass", nullptr},
        {"txtNUser", "lblNUser", nullptr},       {"txtNPass", "lblNPass", nullptr},
        {"txtNRPass", "lblNRPass", nullptr},     {"txtChUser", "lblChUser", nullptr},
        {"txtChPass", "lblChPass", nullptr},     {"txtChNPass", "lblChNPass", nullptr},
        {"txtChNRPass", "lblChNRPass", nullptr},
    };
}

QString PromptName(const QString &labelText) {
    QString name;
    name.reserve(labelText.size());
    for (qsizetype i = 0; i < labelText.size(); ++i) {
        // A single ampersand marks the access key; "&&" shows one.
        if (labelText.at(i) == u'&') {
            if (i + 1 < labelText.size() && labelText.at(i + 1) == u'&')
                name += labelText.at(++i);
            continue;
        }
        name += labelText.at(i);
    }
    qsizetype digits = 0;
    while (digits < name.size() && name.at(digits).isDigit())
        ++digits;
    if (digits > 0 && digits < name.size() && name.at(digits) == u' ')
        name.remove(0, digits + 1);
    return name;
}

namespace {

// The text of the label whose buddy `control` is; empty when it has none.
QString BuddyPrompt(const QWidget *control) {
    const QWidget *parent = control->parentWidget();
    if (!parent)
        return QString();
    for (const QLabel *label : parent->findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
        if (label->buddy() == control)
            return PromptName(label->text());
    }
    return QString();
}

// A combo box as screen readers see it, named by its prompt. Apart from the
// name it answers as Qt's own does: the chosen entry is its value, the
// drop-down list (and the text field of an editable one) are its children,
// and it can be opened and closed.
class NamedComboBox : public QAccessibleWidget {
public:
    explicit NamedComboBox(QComboBox *combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override {
        switch (t) {
        case QAccessible::Name: {
            QString name = combo()->accessibleName();
            if (name.isEmpty())
                name = BuddyPrompt(combo());
            return name.isEmpty() ? value() : name;
        }
        case QAccessible::Value:
            return value();
        default:
            return QAccessibleWidget::text(t);
        }
    }

    int childCount() const override { return combo()->isEditable() ? 2 : 1; }

    QAccessibleInterface *child(int index) const override {
        if (index == 0)
            return QAccessible::queryAccessibleInterface(list());
        if (index == 1 && combo()->isEditable())
            return QAccessible::queryAccessibleInterface(combo()->lineEdit());
        return nullptr;
    }

    int indexOfChild(const QAccessibleInterface *child) const override {
        if (!child)
            return -1;
        if (child->object() == list())
            return 0;
        if (combo()->isEditable() && child->object() == combo()->lineEdit())
            return 1;
        return -1;
    }

    QAccessibleInterface *childAt(int, int) const override { return nullptr; }

    QStringList actionNames() const override {
        return {QAccessibleActionInterface::showMenuAction(),
                QAccessibleActionInterface::pressAction()};
    }

    void doAction(const QString &actionName) override {
        if (actionName != QAccessibleActionInterface::showMenuAction() &&
            actionName != QAccessibleActionInterface::pressAction())
            return;
        if (list()->isVisible())
            combo()->hidePopup();
        else
            combo()->showPopup();
    }

    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QComboBox *combo() const { return static_cast<QComboBox *>(object()); }

    // The list the box opens; a drop-down list makes it when first asked.
    QAbstractItemView *list() const {
        if (auto *dropDown = qobject_cast<DropDownList *>(combo()))
            dropDown->prepareView();
        return combo()->view();
    }

    QString value() const {
        return combo()->isEditable() ? combo()->lineEdit()->text() : combo()->currentText();
    }
};

QAccessibleInterface *ComboBoxFactory(const QString &className, QObject *object) {
    if (className != QLatin1String("QComboBox") || !object->isWidgetType())
        return nullptr;
    return new NamedComboBox(static_cast<QComboBox *>(object));
}

// Keeps a list box's name on its count label's text: Qt's list boxes do not
// read a prompt label themselves. The name is taken up whenever the list is
// shown or gets the focus, the moments a screen reader comes to it.
class ListNameFollower : public QObject {
public:
    ListNameFollower(QWidget *list, const QLabel *label)
        : QObject(list), m_list(list), m_label(label) {
        list->installEventFilter(this);
        takeUp();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::Show || event->type() == QEvent::FocusIn)
            takeUp();
        return QObject::eventFilter(watched, event);
    }

private:
    void takeUp() {
        if (!m_label)
            return;
        const QString name = PromptName(m_label->text());
        if (m_list->accessibleName() != name)
            m_list->setAccessibleName(name);
    }

    QWidget *m_list;
    QPointer<const QLabel> m_label;
};

} // namespace

void InstallComboBoxNames() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(ComboBoxFactory);
}

void NameControls(const Controls &controls, const QList<ControlName> &names) {
    InstallComboBoxNames();
    for (const ControlName &entry : names) {
        QWidget *control = controls.value(QLatin1String(entry.control));
        Q_ASSERT(control);
        if (!control)
            continue;
        if (entry.promptLabel) {
            auto *label = qobject_cast<QLabel *>(controls.value(QLatin1String(entry.promptLabel)));
            Q_ASSERT(label);
            if (!label)
                continue;
            // A buddy is the prompt of its control to screen readers (and
            // takes the focus there for a label with an access key).
            label->setBuddy(control);
            if (qobject_cast<QAbstractItemView *>(control))
                new ListNameFollower(control, label);
            // The list a drop-down list opens is named by the same prompt,
            // once it is made.
            if (auto *dropDown = qobject_cast<DropDownList *>(control)) {
                const QString toolTip = control->toolTip();
                dropDown->whenViewMade([label, toolTip](QAbstractItemView *view) {
                    new ListNameFollower(view, label);
                    view->setAccessibleDescription(toolTip);
                });
            }
        } else {
            control->setAccessibleName(QLatin1String(entry.name));
        }
        control->setAccessibleDescription(control->toolTip());
    }
}

} // namespace screens
