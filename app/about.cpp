#include "app/about.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QShowEvent>

#include "platform/Shell.h"

namespace za {

namespace {

constexpr char16_t kVendorSite[] = u"https://dravelkin.example/";
constexpr char16_t kVendorSiteText[] = u"dravelkin.example";
constexpr char16_t kProductSite[] = u"https://media.dravelkin.example/";

void Fire(const std::function<void()>& handler) {
    if (handler) {
        RunGuarded(handler);
    }
}

} // namespace

// ---------------------------------------------------------------------------
// TMouseLabel

void TMouseLabel::enterEvent(QEnterEvent* event) {
    QLabel::enterEvent(event);
    Fire(OnMouseEnter);
}

void TMouseLabel::leaveEvent(QEvent* event) {
    QLabel::leaveEvent(event);
    Fire(OnMouseLeave);
}

void TMouseLabel::mousePressEvent(QMouseEvent* event) {
    QLabel::mousePressEvent(event);
    if (event->button() == Qt::LeftButton) {
        FClickPending = true;
    }
    Fire(OnMouseDown);
}

// Release first, then the click when the press and the release were both
// on the label.
void TMouseLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    const bool click = event->button() == Qt::LeftButton && FClickPending &&
                       rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        FClickPending = false;
    }
    Fire(OnMouseUp);
    if (click) {
        Fire(OnClick);
    }
}

// ---------------------------------------------------------------------------
// TfmAbout

TfmAbout::TfmAbout(QWidget* parent, double scale)
    : QWidget(parent, Qt::Window), FScale(scale),
      FShellOpen([](const std::u16string& program, const std::u16string& parameters) {
          ShellOpen(program, parameters);
      }) {
    setObjectName(QStringLiteral("fmAbout"));
    setWindowTitle(QStringLiteral("О программе"));
    UseButtonFaceColor(this);
    setFont(DesignFont(TahomaFamilies(), 11, false, FScale));
    // The main window alone decides when the program ends.
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(FScale(439), FScale(141));

    const auto times = [this](int height, bool bold) {
        return DesignFont(TimesNewRomanFamilies(), height, bold, FScale);
    };

    Image1 = new TMouseLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(PixmapFromPng(ProductPicturePng()));
    Image1->setScaledContents(true);
    Image1->setGeometry(FScale.Rect(8, 8, 120, 120));
    Image1->setCursor(Qt::PointingHandCursor);
    Image1->OnClick = [this] { Image1Click(); };

    Label2 = new QLabel(QStringLiteral("Обновление мультимедийной программы"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(times(16, false));
    Label2->setGeometry(FScale.Rect(143, 8, 285, 19));

    Label3 = new QLabel(QStringLiteral("Дравелкин-Медиа v.4.12"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setFont(times(16, true));
    Label3->setGeometry(FScale.Rect(143, 33, 175, 19));

    Label4 = new QLabel(QStringLiteral("Релиз от 01.09.2018"), this);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setFont(times(16, false));
    Label4->setGeometry(FScale.Rect(143, 58, 134, 19));

    Label1 = new TMouseLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setText(QString::fromUtf16(kVendorSiteText));
    Label1->setFont(times(17, false));
    Label1->setGeometry(FScale.Rect(147, 109, 117, 19));
    // Sizes itself to the address it shows.
    Label1->resize(std::max(Label1->width(), Label1->sizeHint().width()), Label1->height());
    Label1->setCursor(Qt::PointingHandCursor);
    Label1->OnClick = [this] { Label1Click(); };
    Label1->OnMouseDown = [this] { Label1MouseDown(); };
    Label1->OnMouseUp = [this] { Label1MouseUp(); };
    Label1->OnMouseEnter = [this] { Label1MouseEnter(); };
    Label1->OnMouseLeave = [this] { Label1MouseLeave(); };

    Button1 = new QPushButton(QStringLiteral("Ok"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(FScale.Rect(348, 108, 83, 25));
    Button1->setFocusPolicy(Qt::StrongFocus);
    Button1->setFocus();
    connect(Button1, &QPushButton::clicked, this,
            [this] { RunGuarded([this] { Button1Click(); }); });

    FormCreate();
}

void TfmAbout::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!FShown) {
        FShown = true;
        CenterOnScreen(this);
    }
}

void TfmAbout::FormCreate() {
    SetFontColor(Label1, clBlue);
}

void TfmAbout::Label1MouseEnter() {
    QFont font = Label1->font();
    font.setUnderline(true);
    Label1->setFont(font);
}

void TfmAbout::Label1MouseLeave() {
    QFont font = Label1->font();
    font.setUnderline(false);
    Label1->setFont(font);
}

void TfmAbout::Label1MouseDown() {
    SetFontColor(Label1, clRed);
}

void TfmAbout::Label1MouseUp() {
    SetFontColor(Label1, clPurple);
}

void TfmAbout::Label1Click() {
    SetFontColor(Label1, clRed);
    FShellOpen(kVendorSite, {});
}

void TfmAbout::Image1Click() {
    FShellOpen(kProductSite, {});
}

void TfmAbout::Button1Click() {
    close();
}

} // namespace za
