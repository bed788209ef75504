#include "window/quick_send_editor.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum Column { Name, Mode, Data };

} // namespace

QuickSendEditor::QuickSendEditor(QWidget* parent)
    : QDialog(parent)
    , m_table(new QTableWidget(MaxQuickSends, 3, this))
    , m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
    setObjectName(QStringLiteral("quickSendEditor"));
    setWindowTitle(QStringLiteral("Quick sends"));
    auto* help = new QLabel(
        QStringLiteral("Rows 1 to 9 go out with Ctrl+1 to Ctrl+9. Mode is text or hex. Text takes "
                       "the escapes \\r, \\n, \\t, \\\\ and \\xHH; hex is bytes separated by "
                       "spaces, such as 01 02 FF. An empty row is no quick send."),
        this);
    help->setWordWrap(true);
    m_table->setHorizontalHeaderLabels(
        {QStringLiteral("Name"), QStringLiteral("Mode"), QStringLiteral("Data")});
    m_table->horizontalHeader()->setSectionResizeMode(Data, QHeaderView::Stretch);
    m_table->setColumnWidth(Name, 140);
    m_table->setColumnWidth(Mode, 60);
    m_table->setAccessibleName(QStringLiteral("Quick sends"));
    // Tab leaves the table, as everywhere in the window; the arrows move
    // between cells.
    m_table->setTabKeyNavigation(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(help);
    layout->addWidget(m_table);
    layout->addWidget(m_buttons);
    resize(640, 480);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QuickSendEditor::submitted);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void QuickSendEditor::edit(const std::vector<QuickSend>& sends) {
    m_table->clearContents();
    for (int row = 0; row < int(sends.size()) && row < MaxQuickSends; ++row) {
        const QuickSend& send = sends[row];
        m_table->setItem(row, Name, new QTableWidgetItem(send.name));
        m_table->setItem(
            row, Mode,
            new QTableWidgetItem(send.hex ? QStringLiteral("hex") : QStringLiteral("text")));
        m_table->setItem(
            row, Data, new QTableWidgetItem(send.hex ? send.data : escapeQuickSendText(send.data)));
    }
    m_table->setCurrentCell(0, Name);
    open();
}

std::vector<std::pair<int, QString>> QuickSendEditor::lines() const {
    std::vector<std::pair<int, QString>> rows;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        QString cells[3];
        for (int column = Name; column <= Data; ++column)
            if (const QTableWidgetItem* item = m_table->item(row, column))
                cells[column] = item->text();
        if (cells[Name].isEmpty() && cells[Mode].trimmed().isEmpty() && cells[Data].isEmpty())
            continue;
        const QString mode =
            cells[Mode].trimmed().isEmpty() ? QStringLiteral("text") : cells[Mode].trimmed();
        rows.emplace_back(row + 1, cells[Name] + u'\t' + mode + u'\t' + cells[Data]);
    }
    return rows;
}
