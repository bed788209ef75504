#pragma once

#include <QWidget>

class FindSession;
class LogView;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QToolButton;

// The find bar of a receive or echo area: a search field, which match is
// shown of how many, the previous and next match, matching case, and closing.
// Ctrl+F or "Find..." in the area opens it along the area's bottom edge,
// inside the area; while it is open, data that keeps coming does not move the
// view away from the match.
//
// Keys in the field: Enter or F3 for the next match, Shift+Enter or Shift+F3
// for the previous one, Alt+C for matching case, Escape to close the bar and
// give the keyboard back to the area.
class FindBar : public QWidget {
    Q_OBJECT

public:
    // `area` names the area for assistive technology, such as "receive area".
    FindBar(LogView* view, const QString& area);

    void open();
    void dismiss();

    QLineEdit* field() const { return m_field; }
    QLabel* status() const { return m_status; }
    // Checked: case is matched.
    QToolButton* matchCase() const { return m_matchCase; }
    FindSession& session() const { return *m_session; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool handleKey(const QKeyEvent& event);
    void searchAgain();

    LogView* const m_view;
    FindSession* const m_session;
    QLineEdit* const m_field;
    QLabel* const m_status;
    QToolButton* const m_previous;
    QToolButton* const m_next;
    QToolButton* const m_matchCase;
    QToolButton* const m_close;
};
