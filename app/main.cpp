#include "app/main.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QShowEvent>

#include <algorithm>
#include <cmath>

#include "app/QtDialogs.h"
#include "app/about.h"
#include "platform/Dialogs.h"
#include "platform/Environment.h"
#include "platform/Exception.h"
#include "platform/Files.h"
#include "platform/Format.h"
#include "platform/Shell.h"
#include "platform/TextIO.h"

namespace za {

namespace {

// Where the installed program keeps its data.
constexpr char16_t kAllUsersVariable[] = u"ALLUSERSPROFILE";
constexpr char16_t kDataSubfolder[] = u"\\Dravelkin\\source\\html\\";
constexpr char16_t kLegacyAllUsersData[] = u"Documents and Settings\\All Users\\Application Data";
constexpr char16_t kPageFile[] = u"aboutdvk.htm";
constexpr size_t kWindowsDriveRootLength = 3; // "C:\"
constexpr size_t kWindowsFolderBuffer = 1000;

// The update archive and how it is extracted.
constexpr char16_t kArchiveFile[] = u"res\\gsm.zip";
constexpr char kArchivePassword[] = "Qm7RvKt2LwXe9HbYc4NaJf6UsDp3ZgTi8o";
constexpr char16_t kFileMask[] = u"*.*";
constexpr int32_t kSearchAttr = 10431;
constexpr char16_t kExclusionMask[] = u"";

constexpr int kExitWidening = 7; // design pixels the Exit button gains over the row

// Messages.
constexpr char16_t kStatusPrefix[] = u"Extracting: ";
constexpr char16_t kUpdateSucceeded[] = u"Обновление успешно. Работу программы можно завершить...";
constexpr char16_t kUpdateIncomplete[] =
    u"Обновление выполнено не полностью: не извлечено файлов: %d из %d. "
    u"Работу программы можно завершить...";
constexpr char16_t kProgramNotFound[] = u"Программа \"Дравелкин-Медиа\" не найдена...";
constexpr char16_t kExceptionPrefix[] = u"Exception: ";

// Menu and button commands.
constexpr char16_t kNotepad[] = u"c:\\windows\\notepad.exe";
constexpr char16_t kInstructionsFile[] = u"res\\Инструкция по установке.txt";
constexpr char16_t kChangesFile[] = u"res\\перечень_изменений.txt";
constexpr char16_t kVideoChannel[] = u"https://video.example/@dravelkin-media";

bool IsBlankOrControl(char16_t c) {
    return c <= u' ';
}

void ShowMessage(const std::u16string& text) {
    MessageDlg(text, mtCustom, mbOKOnly);
}

} // namespace

// ---------------------------------------------------------------------------
// TRadioGroup

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent) {
    for (const QString& item : items) {
        auto* button = new QRadioButton(item, this);
        FButtons.push_back(button);
    }
    ArrangeButtons();
}

int TRadioGroup::ItemIndex() const {
    for (size_t i = 0; i < FButtons.size(); ++i) {
        if (FButtons[i]->isChecked()) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void TRadioGroup::SetItemIndex(int index) {
    if (index >= 0 && index < Count()) {
        Button(index)->setChecked(true);
        return;
    }
    // No item chosen: exclusive buttons cannot all be unchecked otherwise.
    for (QRadioButton* button : FButtons) {
        button->setAutoExclusive(false);
        button->setChecked(false);
        button->setAutoExclusive(true);
    }
}

void TRadioGroup::resizeEvent(QResizeEvent* event) {
    QGroupBox::resizeEvent(event);
    ArrangeButtons();
}

// The items share the space below the caption in equal rows.
void TRadioGroup::ArrangeButtons() {
    if (FButtons.empty()) {
        return;
    }
    const int top = fontMetrics().height() + 2;
    const int rows = static_cast<int>(FButtons.size());
    const int rowHeight = std::max(1, (height() - top - 4) / rows);
    const int left = fontMetrics().averageCharWidth() + 2;
    for (int i = 0; i < rows; ++i) {
        QRadioButton* button = FButtons[static_cast<size_t>(i)];
        const int h = button->sizeHint().height();
        button->setGeometry(left, top + i * rowHeight + (rowHeight - h) / 2,
                            std::max(1, width() - 2 * left), h);
    }
}

// ---------------------------------------------------------------------------
// GetWindowsFolder

std::u16string GetWindowsFolder() {
    std::u16string folder = GetWindowsDirectory();
    // A directory that does not fit the buffer is not written at all.
    if (folder.size() >= kWindowsFolderBuffer) {
        folder.clear();
    }
    const auto first = std::find_if_not(folder.begin(), folder.end(), IsBlankOrControl);
    const auto last = std::find_if_not(folder.rbegin(), folder.rend(), IsBlankOrControl).base();
    return first < last ? std::u16string(first, last) : std::u16string();
}

// ---------------------------------------------------------------------------
// TfmMain

TfmMain::TfmMain(QWidget* parent, double scale)
    : QMainWindow(parent), FScale(scale),
      FShellOpen([](const std::u16string& program, const std::u16string& parameters) {
          ShellOpen(program, parameters);
      }) {
    setObjectName(QStringLiteral("fmMain"));
    setWindowTitle(QStringLiteral("Дравелкин-медиа"));
    setWindowIcon(QIcon(PixmapFromPng(IconPng())));
    // Single fixed border; the title bar keeps its menu, minimize and maximize buttons.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(DesignFont(TahomaFamilies(), 11, false, FScale));

    CreateMenu();
    CreateControls();
    CreateArchiver();

    // The client area below the menu is 342 x 296 design pixels.
    centralWidget()->setFixedSize(FScale(342), FScale(296));
    const int menuHeight = MainMenu1->sizeHint().height();
    setFixedSize(FScale(342), FScale(296) + menuHeight);
}

TfmMain::~TfmMain() = default;

void TfmMain::CreateMenu() {
    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    MainMenu1->setNativeMenuBar(false);
    setMenuBar(MainMenu1);

    N4 = MainMenu1->addMenu(QStringLiteral("Файл"));
    N4->setObjectName(QStringLiteral("N4"));
    N5 = N4->addAction(QStringLiteral("Инструкция по установке"));
    N5->setObjectName(QStringLiteral("N5"));
    N6 = N4->addAction(QStringLiteral("Выход"));
    N6->setObjectName(QStringLiteral("N6"));

    N1 = MainMenu1->addMenu(QStringLiteral("О программе"));
    N1->setObjectName(QStringLiteral("N1"));
    N2 = N1->addAction(QStringLiteral("Список изменений"));
    N2->setObjectName(QStringLiteral("N2"));
    N3 = N1->addAction(QStringLiteral("О программе"));
    N3->setObjectName(QStringLiteral("N3"));

    connect(N5, &QAction::triggered, this, [this] { RunGuarded([this] { N5Click(); }); });
    connect(N6, &QAction::triggered, this, [this] { RunGuarded([this] { N6Click(); }); });
    connect(N2, &QAction::triggered, this, [this] { RunGuarded([this] { N2Click(); }); });
    connect(N3, &QAction::triggered, this, [this] { RunGuarded([this] { N3Click(); }); });
}

void TfmMain::CreateControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    UseButtonFaceColor(client);
    setCentralWidget(client);

    // Labels size themselves to their text from their designed corner, as
    // long as that is not narrower than designed.
    const auto place = [this](QWidget* control, int left, int top, int width, int height) {
        control->setGeometry(FScale.Rect(left, top, width, height));
    };
    const auto autoSizeLabel = [](QLabel* label) {
        const QSize hint = label->sizeHint();
        label->resize(std::max(label->width(), hint.width()), label->height());
    };

    Label1 = new QLabel(QStringLiteral("Обновление программы \"Дравелкин-медиа\""), client);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(DesignFont(TimesNewRomanFamilies(), 16, true, FScale));
    SetFontColor(Label1, palette().color(QPalette::WindowText));
    place(Label1, 8, 8, 325, 19);
    autoSizeLabel(Label1);

    Label3 = new QLabel(QStringLiteral("(с версии 4.11 до версии 4.12)"), client);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setFont(DesignFont(TimesNewRomanFamilies(), 16, true, FScale));
    SetFontColor(Label3, clBlue);
    place(Label3, 72, 33, 208, 19);
    autoSizeLabel(Label3);

    RadioGroup1 = new TRadioGroup(
        QStringLiteral("Выбор пути установки (в случае неккоректной установки)"),
        {QStringLiteral("Путь по умолчанию (рекомендуется)"), QStringLiteral("Windows XP")},
        client);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    place(RadioGroup1, 8, 62, 328, 80);
    RadioGroup1->SetItemIndex(0);

    BitBtn1 = new QPushButton(QStringLiteral("Наш канал на YouTube"), client);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setFont(DesignFont(TahomaFamilies(), 16, true, FScale));
    BitBtn1->setIcon(QIcon(PixmapFromPng(ChannelPicturePng())));
    BitBtn1->setIconSize(QSize(FScale(89), FScale(36)));
    place(BitBtn1, 8, 148, 325, 42);

    pbProgress = new QProgressBar(client);
    pbProgress->setObjectName(QStringLiteral("pbProgress"));
    pbProgress->setRange(0, 100);
    pbProgress->setValue(0);
    pbProgress->setTextVisible(false);
    {
        // A light bar, so that the status line drawn over it stays readable.
        QPalette bar = pbProgress->palette();
        bar.setColor(QPalette::Highlight, QColor(0x9c, 0xd8, 0x8e));
        pbProgress->setPalette(bar);
    }
    place(pbProgress, 8, 196, 328, 41);

    // The status line's designed place (8, 148) lies under BitBtn1, where it
    // cannot be seen; it is shown inside the progress bar instead, at the
    // bar's left edge and vertically centred, above the bar's chunk.
    Label2 = new QLabel(pbProgress);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setAttribute(Qt::WA_TransparentForMouseEvents);
    Label2->setTextFormat(Qt::PlainText);
    Label2->setMaximumWidth(pbProgress->width() - FScale(12));
    Label2->setGeometry(FScale(6), (pbProgress->height() - FScale(13)) / 2, FScale(3), FScale(13));

    btnExtract = new QPushButton(QStringLiteral("Обновить"), client);
    btnExtract->setObjectName(QStringLiteral("btnExtract"));
    btnExtract->setFont(DesignFont(TahomaFamilies(), 16, true, FScale));
    place(btnExtract, 8, 243, 217, 43);

    Button1 = new QPushButton(QStringLiteral("Выход"), client);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setFont(DesignFont(TahomaFamilies(), 15, true, FScale));
    place(Button1, 231, 243, 105, 43);

    // Tab order: Button1, RadioGroup1, pbProgress, btnExtract, BitBtn1.
    for (QWidget* w : {static_cast<QWidget*>(Button1), static_cast<QWidget*>(btnExtract),
                       static_cast<QWidget*>(BitBtn1)}) {
        w->setFocusPolicy(Qt::StrongFocus);
    }
    pbProgress->setFocusPolicy(Qt::NoFocus);
    QWidget::setTabOrder(Button1, RadioGroup1->Button(0));
    QWidget::setTabOrder(RadioGroup1->Button(0), RadioGroup1->Button(1));
    QWidget::setTabOrder(RadioGroup1->Button(1), pbProgress);
    QWidget::setTabOrder(pbProgress, btnExtract);
    QWidget::setTabOrder(btnExtract, BitBtn1);
    Button1->setFocus();

    connect(Button1, &QPushButton::clicked, this,
            [this] { RunGuarded([this] { Button1Click(); }); });
    connect(BitBtn1, &QPushButton::clicked, this,
            [this] { RunGuarded([this] { BitBtn1Click(); }); });
    connect(btnExtract, &QPushButton::clicked, this,
            [this] { RunGuarded([this] { btnExtractClick(); }); });
}

void TfmMain::CreateArchiver() {
    Archiver = std::make_unique<TUpdateArchiver>();
    Archiver->SetName(u"Archiver");
    Archiver->SetExtractCorruptedFiles(false);
    Archiver->SetCompressionLevel(clFastest);
    Archiver->SetCompressionMode(1);
    Archiver->SetCurrentVersion(u"6.60 ");
    Archiver->SetSpanningMode(smNone);
    Archiver->SpanningOptions().SetAdvancedNaming(false);
    Archiver->SpanningOptions().SetFirstVolumeSize(0);
    Archiver->SpanningOptions().SetVolumeSize(vsAutoDetect);
    Archiver->SpanningOptions().SetCustomVolumeSize(65536);
    Archiver->Options().SetFlushBuffers(true);
    Archiver->Options().SetOEMFileNames(true);
    Archiver->SetInMemory(false);
    Archiver->SetOnFileProgress([this](TZABaseArchiver* Sender, const std::u16string& FileName,
                                       double Progress, TZAProcessOperation Operation,
                                       TZAProgressPhase ProgressPhase, bool& Cancel) {
        ArchiverFileProgress(Sender, FileName, Progress, Operation, ProgressPhase, Cancel);
    });
    Archiver->SetOnOverallProgress([this](TZABaseArchiver* Sender, double Progress,
                                          TZAProcessOperation Operation,
                                          TZAProgressPhase ProgressPhase, bool& Cancel) {
        ArchiverOverallProgress(Sender, Progress, Operation, ProgressPhase, Cancel);
    });
    Archiver->SetZip64Mode(zmDisabled);
    Archiver->SetUnicodeFilenames(false);
    Archiver->SetEncryptionMethod(caPkzipClassic);
}

void TfmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!FShown) {
        FShown = true;
        CenterOnScreen(this);
    }
}

void TfmMain::Button1Click() {
    close();
}

void TfmMain::N6Click() {
    close();
}

void TfmMain::N5Click() {
    FShellOpen(kNotepad, kInstructionsFile);
}

void TfmMain::N2Click() {
    FShellOpen(kNotepad, kChangesFile);
}

void TfmMain::N3Click() {
    if (FAbout != nullptr) {
        FAbout->show();
        FAbout->raise();
        FAbout->activateWindow();
    }
}

void TfmMain::BitBtn1Click() {
    FShellOpen(kVideoChannel, {});
}

void TfmMain::btnExtractClick() {
    Button1->setEnabled(false);
    btnExtract->setEnabled(false);

    std::u16string TargetFolder;
    if (RadioGroup1->ItemIndex() == 0) {
        TargetFolder = GetEnvironmentVariable(kAllUsersVariable) + kDataSubfolder;
    }
    if (RadioGroup1->ItemIndex() == 1) {
        std::u16string windows = GetWindowsFolder();
        if (windows.size() > kWindowsDriveRootLength) {
            windows.erase(kWindowsDriveRootLength);
        }
        TargetFolder = windows + kLegacyAllUsersData + kDataSubfolder;
    }

    if (FileExists(TargetFolder + kPageFile)) {
        try {
            RadioGroup1->setEnabled(false);
            Archiver->ResetTally();
            Archiver->SetFileName(kArchiveFile);
            Archiver->SetPassword(kArchivePassword);
            Archiver->OpenArchive();
            Archiver->SetBaseDir(TargetFolder);
            Archiver->ExtractFiles(kFileMask, kSearchAttr, kExclusionMask);
            Archiver->CloseArchive();
            FinishLayout();
            // Success only when every entry was written; entries that failed
            // and were ignored, were skipped at the password question, or were
            // not reached after an abort make the update incomplete.
            const int32_t missing = Archiver->EntriesNotExtracted();
            if (missing == 0) {
                ShowMessage(kUpdateSucceeded);
            } else {
                ShowMessage(Format(kUpdateIncomplete,
                                   {int64_t{missing}, int64_t{Archiver->EntriesSelected()}}));
            }
        } catch (const Exception& E) {
            // Report on standard output and wait for a line; I/O failures of
            // either step escape the command.
            int ioResult = WriteLnStdout(kExceptionPrefix + E.Message());
            if (ioResult != 0) {
                throw EInOutError(ioResult);
            }
            ioResult = ReadLnStdin();
            if (ioResult != 0) {
                throw EInOutError(ioResult);
            }
        }
    } else {
        ShowMessage(kProgramNotFound);
        FinishLayout();
    }
}

void TfmMain::FinishLayout() {
    Button1->setEnabled(true);
    btnExtract->hide();
    Button1->move(btnExtract->x(), Button1->y());
    Button1->resize(btnExtract->width() + Button1->width() + FScale(kExitWidening),
                    Button1->height());
}

void TfmMain::ArchiverFileProgress(TZABaseArchiver* /*Sender*/, const std::u16string& FileName,
                                   double /*Progress*/, TZAProcessOperation /*Operation*/,
                                   TZAProgressPhase /*ProgressPhase*/, bool& /*Cancel*/) {
    Label2->setText(QStr(kStatusPrefix + FileName));
    Label2->adjustSize();
    QApplication::processEvents();
}

void TfmMain::ArchiverOverallProgress(TZABaseArchiver* /*Sender*/, double Progress,
                                      TZAProcessOperation /*Operation*/,
                                      TZAProgressPhase /*ProgressPhase*/, bool& /*Cancel*/) {
    // Truncated toward zero: 99.9 shows as 99, only the end shows 100.
    if (std::isfinite(Progress)) {
        const double position = std::clamp(std::trunc(Progress), 0.0, 100.0);
        pbProgress->setValue(static_cast<int>(position));
    }
    QApplication::processEvents();
}

} // namespace za
