#include "transmit/quick_sends.h"
#include "window/frmmain.h"

#include <QKeyEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRadioButton>

#include <memory>

namespace {

// How a kept send reads in a menu: on one line, escapes for its line breaks.
QString menuCaption(const SentText& sent) {
    constexpr qsizetype Longest = 60;
    QString caption = escapeQuickSendText(sent.text);
    if (caption.size() > Longest)
        caption = caption.left(Longest - 1) + u'\u2026';
    caption.replace(u'&', QLatin1String("&&"));
    return sent.hex ? caption + QStringLiteral("\t(hex)") : caption;
}

} // namespace

// Ctrl+Return (and Ctrl+Enter on the keypad) sends as the Send button does;
// Ctrl+Up and Ctrl+Down go through the history; Ctrl+Tab types the tab that
// Tab no longer types, since Tab moves the focus on as everywhere else.
bool frmmain::Text2_KeyDown(const QKeyEvent& key) {
    if ((key.modifiers() & ~Qt::KeypadModifier) != Qt::ControlModifier)
        return false;
    SentText entry;
    switch (key.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Command2_Click();
        return true;
    case Qt::Key_Tab:
        Text2->insertPlainText(QStringLiteral("\t"));
        return true;
    case Qt::Key_Up:
        if (m_history.older({Text2->toPlainText(), shared.sendAsText == 0}, &entry))
            showSent(entry);
        return true;
    case Qt::Key_Down:
        if (m_history.newer(&entry))
            showSent(entry);
        return true;
    default:
        return false;
    }
}

// The send box's own menu, and under it the newest sends to take back.
void frmmain::Text2_ContextMenu(QPoint at) {
    const std::unique_ptr<QMenu> menu(Text2->createStandardContextMenu(at));
    menu->addSeparator();
    QMenu* recent = menu->addMenu(QStringLiteral("&Recent sends"));
    const std::vector<SentText>& entries = m_history.entries();
    constexpr std::size_t Shown = 20;
    for (std::size_t i = 0; i < std::min(entries.size(), Shown); ++i) {
        const SentText entry = entries[entries.size() - 1 - i];
        connect(recent->addAction(menuCaption(entry)), &QAction::triggered, this,
                [this, entry] { showSent(entry); });
    }
    recent->setEnabled(!entries.empty());
    menu->exec(Text2->viewport()->mapToGlobal(at));
}

void frmmain::keepSent(const SentText& sent) {
    if (!m_history.add(sent))
        return;
    m_remembered.history = m_history.entries();
    remember();
}

// A kept send back in the send box, with its mode.
void frmmain::showSent(const SentText& sent) {
    Text2->setPlainText(sent.text);
    Text2->moveCursor(QTextCursor::End);
    (sent.hex ? Option3 : Option4)->setChecked(true);
}
