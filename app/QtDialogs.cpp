#include "app/QtDialogs.h"

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include <cstdlib>

namespace za {

namespace {

constexpr const char* kResultProperty = "zaModalResult";

struct TButtonMap {
    TMsgDlgBtn Btn;
    QMessageBox::StandardButton Standard; // NoButton: a button of our own
    TModalResult Result;
};

// In the order the buttons are declared; Qt arranges them by their roles.
constexpr TButtonMap kButtons[] = {
    {mbYes, QMessageBox::Yes, mrYes},
    {mbNo, QMessageBox::No, mrNo},
    {mbOK, QMessageBox::Ok, mrOk},
    {mbCancel, QMessageBox::Cancel, mrCancel},
    {mbAbort, QMessageBox::Abort, mrAbort},
    {mbRetry, QMessageBox::Retry, mrRetry},
    {mbIgnore, QMessageBox::Ignore, mrIgnore},
    {mbAll, QMessageBox::NoButton, mrAll},
    {mbNoToAll, QMessageBox::NoToAll, mrNoToAll},
    {mbYesToAll, QMessageBox::YesToAll, mrYesToAll},
    {mbHelp, QMessageBox::Help, mrNone},
};

QMessageBox::Icon IconOf(TMsgDlgType type) {
    switch (type) {
    case mtWarning:
        return QMessageBox::Warning;
    case mtError:
        return QMessageBox::Critical;
    case mtInformation:
        return QMessageBox::Information;
    case mtConfirmation:
        return QMessageBox::Question;
    case mtCustom:
        break;
    }
    return QMessageBox::NoIcon;
}

// Modal questions belong to the window the user is working in.
QWidget* OwnerWindow() {
    if (QWidget* modal = QApplication::activeModalWidget()) {
        return modal;
    }
    return QApplication::activeWindow();
}

} // namespace

int MulDiv(int a, int b, int c) {
    if (c == 0) {
        return -1;
    }
    const long long product = static_cast<long long>(a) * b;
    const long long half = std::llabs(static_cast<long long>(c)) / 2;
    const bool negative = (product < 0) != (c < 0);
    const long long magnitude =
        (std::llabs(product) + half) / std::llabs(static_cast<long long>(c));
    return static_cast<int>(negative ? -magnitude : magnitude);
}

TPasswordDialogParts BuildPasswordDialog(const QString& caption, const QString& prompt,
                                         const QString& value) {
    TPasswordDialogParts parts;
    parts.Form = std::make_unique<QDialog>(OwnerWindow(), Qt::Dialog | Qt::WindowTitleHint |
                                                              Qt::WindowCloseButtonHint |
                                                              Qt::MSWindowsFixedSizeDialogHint);
    QDialog* form = parts.Form.get();
    form->setWindowTitle(caption);
    form->setModal(true);

    // Dialog units of the window font: 4 horizontal units are the average
    // width of the Latin letters, 8 vertical units the character height.
    const QFontMetrics metrics(form->font());
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    parts.HorzUnit4 = metrics.horizontalAdvance(letters) / 52;
    parts.VertUnit8 = metrics.height();
    const auto dx = [&](int units) { return MulDiv(units, parts.HorzUnit4, 4); };
    const auto dy = [&](int units) { return MulDiv(units, parts.VertUnit8, 8); };

    form->setFixedSize(dx(180), dy(63));

    parts.Prompt = new QLabel(prompt, form);
    parts.Prompt->setObjectName(QStringLiteral("Prompt"));
    parts.Prompt->move(dx(8), dy(8));
    parts.Prompt->adjustSize();

    parts.Edit = new QLineEdit(form);
    parts.Edit->setObjectName(QStringLiteral("Edit"));
    parts.Edit->setEchoMode(QLineEdit::Password);
    parts.Edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42")); // "*"
    parts.Edit->setMaxLength(255);
    parts.Edit->setText(value);
    parts.Edit->selectAll();
    parts.Edit->setGeometry(parts.Prompt->x(), dy(19), dx(164), parts.Edit->sizeHint().height());

    parts.OkButton = new QPushButton(QStringLiteral("OK"), form);
    parts.OkButton->setObjectName(QStringLiteral("OkButton"));
    parts.OkButton->setGeometry(dx(38), dy(41), dx(50), dy(14));
    parts.OkButton->setDefault(true);
    QObject::connect(parts.OkButton, &QPushButton::clicked, form, &QDialog::accept);

    parts.CancelButton = new QPushButton(QStringLiteral("Cancel"), form);
    parts.CancelButton->setObjectName(QStringLiteral("CancelButton"));
    parts.CancelButton->setGeometry(dx(92), dy(41), dx(50), dy(14));
    parts.CancelButton->setAutoDefault(false);
    // Escape rejects a QDialog, which is the Cancel button's result.
    QObject::connect(parts.CancelButton, &QPushButton::clicked, form, &QDialog::reject);

    QWidget::setTabOrder(parts.Edit, parts.OkButton);
    QWidget::setTabOrder(parts.OkButton, parts.CancelButton);
    parts.Edit->setFocus();

    // Centred on the screen.
    QScreen* screen = form->parentWidget() != nullptr ? form->parentWidget()->screen()
                                                      : QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        const QRect area = screen->availableGeometry();
        form->move(area.center() - QPoint(form->width() / 2, form->height() / 2));
    }
    return parts;
}

std::unique_ptr<QMessageBox> BuildMessageBox(const QString& title, const QString& text,
                                             TMsgDlgType type, TMsgDlgButtons buttons) {
    auto box = std::make_unique<QMessageBox>(OwnerWindow());
    box->setWindowTitle(title);
    box->setText(text);
    box->setTextFormat(Qt::PlainText);
    box->setIcon(IconOf(type));
    QAbstractButton* first = nullptr;
    QAbstractButton* preferred = nullptr;
    for (const TButtonMap& map : kButtons) {
        if ((buttons & Btn(map.Btn)) == 0) {
            continue;
        }
        QAbstractButton* button = nullptr;
        if (map.Standard != QMessageBox::NoButton) {
            button = box->addButton(map.Standard);
        } else {
            button = box->addButton(QStringLiteral("All"), QMessageBox::YesRole);
        }
        button->setProperty(kResultProperty, map.Result);
        if (first == nullptr) {
            first = button;
        }
        // The default button is OK, else Yes, else Retry, else the first one.
        if (preferred == nullptr && (map.Btn == mbOK || map.Btn == mbYes || map.Btn == mbRetry)) {
            preferred = button;
        }
    }
    if (auto* push = qobject_cast<QPushButton*>(preferred != nullptr ? preferred : first)) {
        box->setDefaultButton(push);
    }
    return box;
}

TModalResult MessageBoxResult(const QMessageBox& box) {
    const QAbstractButton* clicked = box.clickedButton();
    if (clicked == nullptr) {
        return mrClosed;
    }
    const QVariant result = clicked->property(kResultProperty);
    return result.isValid() ? result.toInt() : mrClosed;
}

std::u16string ExceptionDisplayText(const std::u16string& message) {
    if (message.empty() || message.back() == u'.') {
        return message;
    }
    return message + u".";
}

TQtDialogs::TQtDialogs(QString title) : FTitle(std::move(title)) {}

QString TQtDialogs::Title() const {
    return FTitle.isEmpty() ? QGuiApplication::applicationDisplayName() : FTitle;
}

TModalResult TQtDialogs::MessageDlg(const std::u16string& text, TMsgDlgType type,
                                    TMsgDlgButtons buttons) {
    std::unique_ptr<QMessageBox> box = BuildMessageBox(Title(), QStr(text), type, buttons);
    box->exec();
    return MessageBoxResult(*box);
}

bool TQtDialogs::PasswordDialog(const std::u16string& caption, const std::u16string& prompt,
                                std::u16string& value) {
    TPasswordDialogParts parts = BuildPasswordDialog(QStr(caption), QStr(prompt), QStr(value));
    if (parts.Form->exec() != QDialog::Accepted) {
        return false;
    }
    value = U16(parts.Edit->text());
    return true;
}

void TQtDialogs::ShowException(const std::u16string& message) {
    std::unique_ptr<QMessageBox> box =
        BuildMessageBox(Title(), QStr(ExceptionDisplayText(message)), mtError, mbOKOnly);
    box->exec();
}

} // namespace za
