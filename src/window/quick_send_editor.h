#pragma once

#include "transmit/quick_sends.h"

#include <QDialog>

#include <utility>
#include <vector>

class QDialogButtonBox;
class QTableWidget;

// "Edit quick sends…": a row for each of the quick sends, with its name, its
// mode (text or hex) and its data, written as in a quick-send file (text with
// its escapes). OK hands the rows to the window, which keeps them or says
// which row it cannot take; Cancel leaves everything as it was.
class QuickSendEditor : public QDialog {
    Q_OBJECT

public:
    explicit QuickSendEditor(QWidget* parent);

    // Fills the rows and opens the editor, window-modal.
    void edit(const std::vector<QuickSend>& sends);
    // The rows that hold anything, as lines of a quick-send file, each with
    // its row number from 1; a row with no mode is text.
    std::vector<std::pair<int, QString>> lines() const;

    QTableWidget* table() const { return m_table; }
    QDialogButtonBox* buttons() const { return m_buttons; }

signals:
    void submitted();

private:
    QTableWidget* const m_table;
    QDialogButtonBox* const m_buttons;
};
