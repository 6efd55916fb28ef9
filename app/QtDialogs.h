// The updater's dialogs backend: every modal question of the archive object
// and of the updater is a Qt message box with the application's title as its
// caption, the password question is a small dialog built at run time and laid
// out in dialog units, and an exception that escapes a command is shown in an
// error box.
#pragma once

#include <QString>
#include <memory>
#include <string>

#include "platform/Dialogs.h"

class QDialog;
class QLabel;
class QLineEdit;
class QMessageBox;
class QPushButton;
class QWidget;

namespace za {

// Windows' MulDiv: a * b / c rounded to the nearest integer (halves away from zero).
int MulDiv(int a, int b, int c);

// The password dialog before it is shown; the window owns the controls.
struct TPasswordDialogParts {
    std::unique_ptr<QDialog> Form;
    QLabel* Prompt = nullptr;
    QLineEdit* Edit = nullptr;
    QPushButton* OkButton = nullptr;
    QPushButton* CancelButton = nullptr;
    int HorzUnit4 = 0; // average character width (4 horizontal dialog units)
    int VertUnit8 = 0; // character height (8 vertical dialog units)
};

// Builds the password window: caption, prompt label, masked edit holding
// value (at most 255 characters, all selected), OK (default) and Cancel
// (Escape), sized and placed in dialog units of the window font.
TPasswordDialogParts BuildPasswordDialog(const QString& caption, const QString& prompt,
                                         const QString& value);

// Builds a message box with the given icon type, exactly the given buttons
// and the title as caption.
std::unique_ptr<QMessageBox> BuildMessageBox(const QString& title, const QString& text,
                                             TMsgDlgType type, TMsgDlgButtons buttons);

// The modal result of a button of a box made by BuildMessageBox (mrClosed
// when the box was closed without one).
TModalResult MessageBoxResult(const QMessageBox& box);

// The text of an escaped exception as the error box shows it: a full stop
// is appended unless the text is empty or already ends with one.
std::u16string ExceptionDisplayText(const std::u16string& message);

class TQtDialogs : public IDialogs {
public:
    // An empty title means the application's display name.
    explicit TQtDialogs(QString title = {});

    TModalResult MessageDlg(const std::u16string& text, TMsgDlgType type,
                            TMsgDlgButtons buttons) override;
    bool PasswordDialog(const std::u16string& caption, const std::u16string& prompt,
                        std::u16string& value) override;
    void ShowException(const std::u16string& message) override;

    QString Title() const;

private:
    QString FTitle;
};

// UTF-16 engine strings and Qt strings.
inline QString QStr(const std::u16string& s) {
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}
inline std::u16string U16(const QString& s) {
    return s.toStdU16String();
}

} // namespace za
