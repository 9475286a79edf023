#include "kernel/qt_platform.h"

#include <QApplication>
#include <QMessageBox>

#include "kernel/platform.h"

namespace tallivo {

void installQtPlatform() {
    Platform& p = platform();
    p.showMessage = [](const std::string& text) {
        // The caption is the executable's file name without its extension.
        QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(),
                        QString::fromStdString(text), QMessageBox::Ok);
        box.exec();
    };
    p.toolkitExit = [] {
        // exit rather than quit, which would first ask the windows to close.
        QCoreApplication::exit(0);
        return 0;
    };
}

}  // namespace tallivo
