#include "window/find_bar.h"

#include "window/find_session.h"
#include "window/log_view.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

namespace {

QToolButton* button(QWidget* bar, const QString& name, const QString& keys) {
    auto* made = new QToolButton(bar);
    made->setAutoRaise(true);
    made->setAccessibleName(name);
    made->setToolTip(name + QStringLiteral(" (") + keys + u')');
    return made;
}

} // namespace

FindBar::FindBar(LogView* view, const QString& area)
    : QWidget(view)
    , m_view(view)
    , m_session(new FindSession(view, this))
    , m_field(new QLineEdit(this))
    , m_status(new QLabel(this))
    , m_previous(button(this, QStringLiteral("Previous match"), QStringLiteral("Shift+F3")))
    , m_next(button(this, QStringLiteral("Next match"), QStringLiteral("F3")))
    , m_matchCase(button(this, QStringLiteral("Match case"), QStringLiteral("Alt+C")))
    , m_close(button(this, QStringLiteral("Close the find bar"), QStringLiteral("Escape"))) {
    hide();
    // It lies over the area's frame.
    setAutoFillBackground(true);
    setAccessibleName(QStringLiteral("Find in the ") + area);
    m_field->setAccessibleName(QStringLiteral("Find in the ") + area);
    m_field->setPlaceholderText(QStringLiteral("Find"));
    m_previous->setIcon(style()->standardIcon(QStyle::SP_ArrowUp));
    m_next->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
    m_close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    m_matchCase->setText(QStringLiteral("Aa"));
    m_matchCase->setCheckable(true);
    // The status gives way first in a narrow area; it is read whole all the same.
    m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_field->setMinimumWidth(60);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->setSpacing(2);
    layout->addWidget(m_field, 1);
    layout->addWidget(m_status, 1);
    for (QWidget* widget : {m_previous, m_next, m_matchCase, m_close})
        layout->addWidget(widget);

    connect(m_field, &QLineEdit::textChanged, this, &FindBar::searchAgain);
    connect(m_matchCase, &QToolButton::toggled, this, &FindBar::searchAgain);
    connect(m_previous, &QToolButton::clicked, m_session, &FindSession::previous);
    connect(m_next, &QToolButton::clicked, m_session, &FindSession::next);
    connect(m_close, &QToolButton::clicked, this, &FindBar::dismiss);
    connect(m_session, &FindSession::statusChanged, this, [this](const QString& status) {
        m_status->setText(status);
        m_status->setToolTip(status);
    });
    connect(view, &LogView::findRequested, this, &FindBar::open);
    m_field->installEventFilter(this);
    view->installEventFilter(this);
}

void FindBar::open() {
    if (isHidden()) {
        // Held before the bar takes its rows, so that a view at the end stays there.
        m_view->holdPosition(true);
        m_view->showBottomBar(this);
        searchAgain();
    }
    m_field->setFocus(Qt::ShortcutFocusReason);
    m_field->selectAll();
}

void FindBar::dismiss() {
    if (isHidden())
        return;
    m_session->stop();
    // The area takes the keyboard before the bar hides, so that it goes nowhere else.
    m_view->setFocus(Qt::OtherFocusReason);
    m_view->showBottomBar(nullptr);
    m_view->holdPosition(false);
}

void FindBar::searchAgain() {
    if (!isHidden())
        m_session->search(m_field->text(),
                          m_matchCase->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive);
}

bool FindBar::handleKey(const QKeyEvent& event) {
    const bool back = event.modifiers().testFlag(Qt::ShiftModifier);
    if (event.key() == Qt::Key_F3 || event.matches(QKeySequence::FindNext) ||
        event.matches(QKeySequence::FindPrevious)) {
        back ? m_session->previous() : m_session->next();
    } else if (event.key() == Qt::Key_Escape) {
        dismiss();
    } else if (event.key() == Qt::Key_C && event.modifiers() == Qt::AltModifier) {
        m_matchCase->toggle();
    } else {
        return false;
    }
    return true;
}

// Enter in the field; F3, Escape and Alt+C in the field and in the area while
// the bar is open. Keys on the bar's buttons come to keyPressEvent.
bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || isHidden())
        return QWidget::eventFilter(watched, event);
    const auto& key = static_cast<const QKeyEvent&>(*event);
    if (watched == m_field && (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter)) {
        key.modifiers().testFlag(Qt::ShiftModifier) ? m_session->previous() : m_session->next();
        return true;
    }
    return handleKey(key) || QWidget::eventFilter(watched, event);
}

void FindBar::keyPressEvent(QKeyEvent* event) {
    if (!handleKey(*event))
        QWidget::keyPressEvent(event);
}
