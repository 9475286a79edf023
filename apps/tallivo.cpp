// tallivo: the calculator. The text after the program's name holds the
// switches -c (rate in kHz), -f (flowchart hit value, 0 = none), -m, -s, -v
// (the trace monitor).
#include <QApplication>
#include <QFileInfo>
#include <QStringList>

#include "kernel/calculator_app.h"
#include "kernel/data_files.h"
#include "kernel/platform.h"
#include "kernel/qt_platform.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setApplicationName(QFileInfo(QString::fromLocal8Bit(argv[0])).completeBaseName());
    tallivo::setExecutablePath(argv[0]);
    tallivo::installQtPlatform();

    std::string commandLine;
    for (int i = 1; i < argc; ++i) commandLine += (i > 1 ? " " : "") + std::string(argv[i]);
    tallivo::CalculatorApp::Options options;
    options.settings = tallivo::parseCommandLine(commandLine);
    if (!options.settings.valid) {
        tallivo::platform().showMessage("ERROR: Unrecognized command-line switch:\n" +
                                        options.settings.badSwitch);
        return 1;
    }

    // Declared after the QApplication, so its windows go before the toolkit does.
    tallivo::CalculatorApp calculator;
    // The toolkit's exit runs the shutdown walk a second time; it does nothing then.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [&calculator] { calculator.shutdownAll(); });
    if (!calculator.startUp(options)) {
        calculator.shutdownAll();
        return 1;
    }
    calculator.startPacing();
    return app.exec();
}
