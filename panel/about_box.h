#pragma once
// The About box: the application icon, the program's name and version, and an
// OK button. Run modally (exec()); while it is open the application's clock
// driver sees a modal widget and runs no clock periods.
#include <QDialog>

class QPushButton;

namespace tallivo {

class AboutBox final : public QDialog {
    Q_OBJECT
  public:
    explicit AboutBox(QWidget* parent = nullptr);

    QPushButton* okButton() const { return okButton_; }

  private:
    QPushButton* okButton_ = nullptr;
};

}  // namespace tallivo
