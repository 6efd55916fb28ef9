// A scripted run of the updater for demos: with DVK_AUTOPRESS=1 the program
// presses "Обновить" itself once the window is up, answers every question
// (Ignore where a box has it, else its default button; a password question
// is cancelled), opens the About window at the end and then closes
// the main window. With DVK_SCREENSHOT_DIR set it saves screenshots there:
// 1-ready.png, 2-message.png (each question as it is asked, numbered on),
// then finished.png and about.png. Each saved path is printed on standard
// error as "screenshot: <path>".
#pragma once

#include <QString>
#include <memory>

#include "platform/Dialogs.h"

class QWidget;

namespace za {

class TfmMain;

class TAutoPress : public IDialogs {
public:
    // nullptr unless DVK_AUTOPRESS=1. Installs itself as the dialogs backend
    // in front of inner for as long as it lives.
    static std::unique_ptr<TAutoPress> FromEnvironment(TfmMain& main, IDialogs& inner);
    TAutoPress(TfmMain& main, IDialogs& inner, QString shotDir);
    ~TAutoPress() override;

    void Start();

    TModalResult MessageDlg(const std::u16string& text, TMsgDlgType type,
                            TMsgDlgButtons buttons) override;
    bool PasswordDialog(const std::u16string& caption, const std::u16string& prompt,
                        std::u16string& value) override;
    void ShowException(const std::u16string& message) override;

private:
    void AnswerSoon();
    void Shot(const QString& name, QWidget* extra);
    void Finish();

    TfmMain& FMain;
    IDialogs& FInner;
    QString FShotDir;
    IDialogs* FPrevious = nullptr;
    int FShotNo = 1;
};

} // namespace za
