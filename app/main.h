// The updater's main window TfmMain: the title labels, the install-path
// choice, the status line, the video-channel button, the progress bar, the
// Update and Exit buttons, the main menu, and the archive object Archiver.
// The Update command (btnExtractClick) extracts the update archive into the
// data folder of the installed program.
#pragma once

#include <QGroupBox>
#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Forms.h"
#include "app/UpdateArchiver.h"

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace za {

class TfmAbout;

// A framed group of radio buttons with one item index (-1: none chosen).
class TRadioGroup : public QGroupBox {
public:
    TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent);
    int ItemIndex() const;
    void SetItemIndex(int index);
    int Count() const { return static_cast<int>(FButtons.size()); }
    QRadioButton* Button(int index) const { return FButtons.at(static_cast<size_t>(index)); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void ArrangeButtons();
    std::vector<QRadioButton*> FButtons;
};

// The shell's "open" request: program (or document / address) and parameters.
using TShellOpenFn = std::function<void(const std::u16string&, const std::u16string&)>;

// The Windows directory as the system reports it, trimmed of blanks and
// control characters at both ends.
std::u16string GetWindowsFolder();

class TfmMain : public QMainWindow {
public:
    // scale <= 0: the design is scaled to the primary screen's logical DPI.
    explicit TfmMain(QWidget* parent = nullptr, double scale = 0);
    ~TfmMain() override;

    // Controls, with their designed names.
    QLabel* Label1 = nullptr;
    QLabel* Label3 = nullptr;
    TRadioGroup* RadioGroup1 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QProgressBar* pbProgress = nullptr;
    QPushButton* btnExtract = nullptr;
    QPushButton* Button1 = nullptr;
    QMenuBar* MainMenu1 = nullptr;
    QMenu* N4 = nullptr;
    QAction* N5 = nullptr;
    QAction* N6 = nullptr;
    QMenu* N1 = nullptr;
    QAction* N2 = nullptr;
    QAction* N3 = nullptr;
    std::unique_ptr<TUpdateArchiver> Archiver;

    // The About window that N3 shows (created after the main window).
    void SetAboutForm(TfmAbout* about) { FAbout = about; }
    TfmAbout* AboutForm() const { return FAbout; }
    // Replaces the shell's open request (tests record the requests instead).
    void SetShellOpen(TShellOpenFn shellOpen) { FShellOpen = std::move(shellOpen); }
    const TDesignScale& Scale() const { return FScale; }

    // Handlers.
    void Button1Click();
    void N6Click();
    void N5Click();
    void N2Click();
    void N3Click();
    void BitBtn1Click();
    void btnExtractClick();
    void ArchiverFileProgress(TZABaseArchiver* Sender, const std::u16string& FileName,
                              double Progress, TZAProcessOperation Operation,
                              TZAProgressPhase ProgressPhase, bool& Cancel);
    void ArchiverOverallProgress(TZABaseArchiver* Sender, double Progress,
                                 TZAProcessOperation Operation, TZAProgressPhase ProgressPhase,
                                 bool& Cancel);
    // The button row after the command: only the Exit button, over the row.
    void FinishLayout();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void CreateControls();
    void CreateMenu();
    void CreateArchiver();

    TDesignScale FScale;
    TfmAbout* FAbout = nullptr;
    TShellOpenFn FShellOpen;
    bool FShown = false;
};

} // namespace za
