#include "panel/about_box.h"

#include <QLabel>
#include <QPushButton>

#include "panel/dialog_units.h"
#include "resources/dialog_layouts.h"
#include "resources/icon.h"

namespace tallivo {

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
    setModal(true);
    setWindowTitle(layoutText(layout::kAboutCaption));
    setWindowIcon(tallivoIcon());
    setFont(dialogFont());
    const DialogUnits units(font());
    setFixedSize(units.size(layout::kAboutWidth, layout::kAboutHeight));

    auto* icon = new QLabel(this);
    icon->setPixmap(tallivoIcon().pixmap(layout::kAboutIconPixels, layout::kAboutIconPixels));
    icon->setGeometry(QRect(units.point(layout::kAboutIcon.x, layout::kAboutIcon.y),
                            QSize(layout::kAboutIconPixels, layout::kAboutIconPixels)));

    auto* label = new QLabel(layoutText(layout::kAboutText), this);
    label->setGeometry(units.rect(layout::kAboutLabel));

    okButton_ = new QPushButton(QStringLiteral("OK"), this);
    okButton_->setGeometry(units.rect(layout::kAboutOk));
    okButton_->setDefault(true);
    QObject::connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace tallivo
