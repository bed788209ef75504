#include "window/accessibility.h"

#include "window/combo_box.h"
#include "window/counter.h"
#include "window/log_view.h"
#include "window/shape.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QLineEdit>

#include <algorithm>
#include <limits>

namespace {

std::function<void(QAccessibleEvent&)>& standInClient() {
    static std::function<void(QAccessibleEvent&)> client;
    return client;
}

// Text offsets are int in the accessibility interfaces.
int toInt(qsizetype offset) {
    return int(std::min<qsizetype>(offset, std::numeric_limits<int>::max()));
}

// A counter reads as a label whose text is its number.
class CounterAccessible : public QAccessibleWidget {
public:
    explicit CounterAccessible(Counter* counter)
        : QAccessibleWidget(counter, QAccessible::StaticText) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name)
            return static_cast<Counter*>(widget())->text();
        return QAccessibleWidget::text(kind);
    }
};

// A selector reads as Qt's own combo box does, its list and its text field as
// children and its entry as its value, but by its name: Qt names a combo box
// on Linux by its entry, so the baud rate selector would read as "9600".
class ComboBoxAccessible : public QAccessibleWidget {
public:
    explicit ComboBoxAccessible(ComboBox* box)
        : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value)
            return box()->currentText();
        return QAccessibleWidget::text(kind);
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.editable = box()->isEditable();
        state.expandable = true;
        state.expanded = box()->view()->isVisible();
        return state;
    }

    int childCount() const override { return box()->isEditable() ? 2 : 1; }
    QAccessibleInterface* child(int index) const override {
        if (index == 0)
            return QAccessible::queryAccessibleInterface(box()->view());
        if (index == 1 && box()->isEditable())
            return QAccessible::queryAccessibleInterface(box()->lineEdit());
        return nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        if (child->object() == box()->view())
            return 0;
        if (box()->isEditable() && child->object() == box()->lineEdit())
            return 1;
        return -1;
    }
    // The list is a hidden window while closed: only the text field lies on
    // the screen.
    QAccessibleInterface* childAt(int x, int y) const override {
        QAccessibleInterface* field = child(1);
        return field && field->rect().contains(x, y) ? field : nullptr;
    }

    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString& action) override {
        if (action != showMenuAction() && action != pressAction())
            return QAccessibleWidget::doAction(action);
        if (box()->view()->isVisible())
            box()->hidePopup();
        else
            box()->showPopup();
    }

private:
    ComboBox* box() const { return static_cast<ComboBox*>(widget()); }
};

// A read-only multi-line text: its characters, the selection and the caret.
class LogViewAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit LogViewAccessible(LogView* view)
        : QAccessibleWidget(view, QAccessible::EditableText) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = true;
        state.multiLine = true;
        state.selectableText = true;
        return state;
    }

    using QAccessibleWidget::text;

    // The viewport is where the text is drawn, not a child of its own: a
    // client asking what lies under a point gets the text.
    int childCount() const override { return int(children().size()); }
    QAccessibleInterface* child(int index) const override { return children().value(index); }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return int(children().indexOf(const_cast<QAccessibleInterface*>(child)));
    }

    void selection(int index, int* start, int* end) const override {
        const auto [from, to] = view()->selection();
        const bool exists = index == 0 && from != to;
        *start = exists ? toInt(from) : 0;
        *end = exists ? toInt(to) : 0;
    }
    int selectionCount() const override {
        const auto [from, to] = view()->selection();
        return from != to ? 1 : 0;
    }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int index) override {
        if (index == 0)
            view()->select(view()->cursorPosition(), view()->cursorPosition());
    }
    void setSelection(int index, int start, int end) override {
        if (index == 0)
            view()->select(start, end);
    }

    int cursorPosition() const override { return toInt(view()->cursorPosition()); }
    void setCursorPosition(int position) override { view()->select(position, position); }

    QString text(int start, int end) const override {
        const qsizetype size = view()->text().size();
        const qsizetype from = std::clamp<qsizetype>(start, 0, size);
        const qsizetype to = std::clamp<qsizetype>(end < 0 ? size : end, from, size);
        return readableText(view()->text().mid(from, to - from));
    }
    int characterCount() const override { return toInt(view()->text().size()); }

    QRect characterRect(int offset) const override {
        const QRect rect = view()->characterRect(offset);
        return rect.isNull() ? rect : rect.translated(view()->viewport()->mapToGlobal(QPoint()));
    }
    int offsetAtPoint(const QPoint& point) const override {
        const QPoint at = view()->viewport()->mapFromGlobal(point);
        return view()->viewport()->rect().contains(at) ? toInt(view()->offsetAt(at)) : -1;
    }
    void scrollToSubstring(int start, int /*end*/) override { view()->scrollTo(start); }
    QString attributes(int offset, int* start, int* end) const override {
        *start = *end = offset;
        return {};
    }

private:
    LogView* view() const { return static_cast<LogView*>(widget()); }

    QList<QAccessibleInterface*> children() const {
        QList<QAccessibleInterface*> shown;
        for (int i = 0; i < QAccessibleWidget::childCount(); ++i) {
            QAccessibleInterface* child = QAccessibleWidget::child(i);
            if (child && child->object() != view()->viewport())
                shown.append(child);
        }
        return shown;
    }
};

QAccessibleInterface* controlInterface(const QString& className, QObject* object) {
    if (className == QLatin1String("LogView"))
        return new LogViewAccessible(static_cast<LogView*>(object));
    if (className == QLatin1String("ComboBox"))
        return new ComboBoxAccessible(static_cast<ComboBox*>(object));
    if (className == QLatin1String("Counter"))
        return new CounterAccessible(static_cast<Counter*>(object));
    // The lamp is a picture; its name, the port state in words, is set with
    // its colour.
    if (className == QLatin1String("Shape"))
        return new QAccessibleWidget(static_cast<Shape*>(object), QAccessible::Graphic);
    return nullptr;
}

} // namespace

void installAccessibleInterfaces() {
    static const bool installed = [] {
        QAccessible::installFactory(controlInterface);
        return true;
    }();
    Q_UNUSED(installed);
}

bool assistiveClientListening() {
    return standInClient() || QAccessible::isActive();
}

void announce(QAccessibleEvent& event) {
    if (standInClient())
        standInClient()(event);
    else
        QAccessible::updateAccessibility(&event);
}

QString readableText(QString text) {
    return text.replace(QChar(0), QChar(0x2400));
}

void setAssistiveClient(std::function<void(QAccessibleEvent&)> client) {
    standInClient() = std::move(client);
}
