#pragma once

#include "platform/file_dialog.h"
#include "platform/message_box.h"

// File dialogs on QFileDialog (Qt's own, the same on every desktop).
class QtCommonDialog final : public CommonDialog {
public:
    bool showOpen() override;
    bool showSave() override;

private:
    bool show(bool save);
};

// Message boxes on QMessageBox, titled with the application's title.
class QtMessageBoxes final : public MessageBoxes {
public:
    void show(const QString& text, Icon icon, const QString& detail) override;
    std::optional<int> askNumber(const QString& text, int value, int least, int most) override;
    bool showing() const override { return m_open > 0; }

private:
    int m_open = 0;
};
