#pragma once

#include <QString>

// The file-dialog component `CommonDialog1`: one instance serves both the open
// and the save dialog, and keeps FileName and InitDir between uses.
class CommonDialog {
public:
    virtual ~CommonDialog() = default;

    // The name proposed in the dialog; after a confirmed dialog, the full path
    // chosen.
    QString FileName;
    // The folder the dialog opens in.
    QString InitDir = QStringLiteral("c:\\windows\\desktop");
    QString Filter = QStringLiteral("text(*.txt)");

    // Modal dialogs for an existing file to read, or a file to write. They
    // return false when the user cancelled (the dialog's error 32755).
    [[nodiscard]] virtual bool showOpen() = 0;
    [[nodiscard]] virtual bool showSave() = 0;
};
