#include "window/frmmain.h"
#include "window/log_view.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusBar>

#include <algorithm>

// The window grows from its design size, which is also its smallest: the
// receive area takes the extra width and height, the send box the extra
// width below it; what stands below the send box keeps its distance to the
// bottom edge (the file buttons and the echo, under the send box's right
// end, to the right edge too); the frames on the left keep their places, and
// the status bar stays along the bottom.

// Which edges each control keeps its distance to, and which grow.
void frmmain::recordPlacements() {
    const struct {
        QWidget* control;
        bool right, bottom, wider, taller;
    } placements[] = {
        {Text1, false, false, true, true},   {Text2, false, true, true, false},
        {Frame4, false, true, false, false}, {Label6, false, true, false, false},
        {Frame5, true, true, false, false},  {Text4, true, true, false, false},
    };
    for (const auto& p : placements)
        m_placements.push_back(
            {p.control, p.control->geometry(), p.right, p.bottom, p.wider, p.taller});
}

void frmmain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeControls();
}

void frmmain::placeControls() {
    const int extraWidth = std::max(0, width() - minimumWidth());
    const int extraHeight = std::max(0, height() - minimumHeight());
    for (const Placement& p : m_placements) {
        QRect place = p.design;
        if (p.wider)
            place.setWidth(place.width() + extraWidth);
        else if (p.right)
            place.translate(extraWidth, 0);
        if (p.taller)
            place.setHeight(place.height() + extraHeight);
        else if (p.bottom)
            place.translate(0, extraHeight);
        p.control->setGeometry(place);
    }
    const int row = lowerBar->height();
    statusBar->setGeometry(0, height() - m_statusHeight, width(), m_statusHeight - row);
    lowerBar->setGeometry(0, height() - row, width(), row);
}

void frmmain::createTextSizeActions() {
    largerText = new QAction(QStringLiteral("&Larger text"), this);
    largerText->setObjectName(QStringLiteral("largerText"));
    // Ctrl and the Plus key, shifted or not; the keypad's keys match too.
    largerText->setShortcuts(
        {QKeySequence(QKeySequence::ZoomIn), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    smallerText = new QAction(QStringLiteral("&Smaller text"), this);
    smallerText->setObjectName(QStringLiteral("smallerText"));
    smallerText->setShortcuts(QKeySequence::ZoomOut);
    normalTextSize = new QAction(QStringLiteral("&Normal text size"), this);
    normalTextSize->setObjectName(QStringLiteral("normalTextSize"));
    normalTextSize->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    for (LogView* area : {Text1, Text4}) {
        area->addActions({largerText, smallerText, normalTextSize});
        connect(area, &LogView::zoomRequested, this, &frmmain::zoomText);
    }
    connect(largerText, &QAction::triggered, this, [this] { zoomText(1); });
    connect(smallerText, &QAction::triggered, this, [this] { zoomText(-1); });
    connect(normalTextSize, &QAction::triggered, this, [this] { setTextSize(0); });
}

// A point larger or smaller for each step, within what stays readable and
// what fits.
void frmmain::zoomText(int steps) {
    const int points = std::clamp(QFontInfo(Text1->font()).pointSize() + steps,
                                  UserSettings::SmallestText, UserSettings::LargestText);
    // Back at the window's own size, the areas follow the window's font again.
    setTextSize(points == QFontInfo(font()).pointSize() ? 0 : points);
}

// 0: the window's own text size.
void frmmain::setTextSize(int points) {
    QFont text = font();
    if (points > 0)
        text.setPointSize(points);
    Text1->setFont(text);
    Text4->setFont(text);
    if (m_remembered.textSize == points)
        return;
    m_remembered.textSize = points;
    remember();
}

// The size, maximised state and text size the window had when it was last
// closed; the design size the first time.
void frmmain::restoreWindow() {
    if (m_remembered.textSize > 0)
        setTextSize(m_remembered.textSize);
    QSize size(m_remembered.windowWidth, m_remembered.windowHeight);
    if (!size.isEmpty()) {
        // A screen that is smaller now gets a window that fits on it.
        if (const QScreen* shownOn = screen())
            size = size.boundedTo(shownOn->availableGeometry().size());
        resize(size.expandedTo(minimumSize()));
    }
    if (m_remembered.maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
}

void frmmain::rememberWindow() {
    const bool maximized = isMaximized();
    // A maximised window is kept at the size it goes back to.
    const QSize size = maximized ? normalGeometry().size() : this->size();
    if (!size.isEmpty()) {
        m_remembered.windowWidth = size.width();
        m_remembered.windowHeight = size.height();
    }
    m_remembered.maximized = maximized;
    remember();
}
