// tallivo: the calculator. The text after the program's name holds the
// switches -c (rate in kHz), -f (flowchart hit value, 0 = none), -m, -s, -v
// (the trace monitor) and -q (start with the sound off).
#include <QApplication>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>

#include "kernel/calculator_app.h"
#include "kernel/data_files.h"
#include "kernel/platform.h"
#include "kernel/qt_platform.h"

namespace {

// For a user at a terminal; the switches themselves are read as the
// calculator always read them, so "--help" is an unrecognised switch too.
constexpr const char* kUsage =
    "usage: tallivo [-c RATE] [-f HITS] [-m WRITES] [-s ADDRESS] [-v] [-q]\n"
    "  -c RATE     clock rate in thousands of periods a second (default 740)\n"
    "  -f HITS     flowchart: drum sectors a part stays lit (default 512); -f0: no flowchart\n"
    "  -m WRITES   trace writes to 4004out.txt; 0 (the default) records nothing\n"
    "  -s ADDRESS  program address, in hexadecimal, at which the trace starts (default 0)\n"
    "  -v          trace only page 3 (addresses 300 to 3FF)\n"
    "  -q          start with the sound off (the keyboard's menu turns it on)\n"
    "The files 4001.code, Flowchart.bmp and types.bmp are looked for in the working\n"
    "folder, then beside the program, then in ../share/tallivo beside it.\n";

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setApplicationName(QFileInfo(QString::fromLocal8Bit(argv[0])).completeBaseName());
    tallivo::setExecutablePath(argv[0]);
    tallivo::installQtPlatform();

    std::string commandLine;
    for (int i = 1; i < argc; ++i) commandLine += (i > 1 ? " " : "") + std::string(argv[i]);
    tallivo::CalculatorApp::Options options;
    options.settings = tallivo::parseCommandLine(commandLine);
    options.sound = true;
    if (!options.settings.valid) {
        std::fputs(kUsage, stderr);
        tallivo::platform().showMessage("ERROR: Unrecognized command-line switch:\n" +
                                        options.settings.badSwitch);
        return 1;
    }

    // Declared after the QApplication, so its windows go before the toolkit does.
    tallivo::CalculatorApp calculator;
    // The toolkit's exit runs the shutdown walk a second time; it does nothing then.
    QObject::connect(&app, &QCoreApplication::aboutToQuit,
                     [&calculator] { calculator.shutdownAll(); });
    if (!calculator.startUp(options)) {
        calculator.shutdownAll();
        return 1;
    }
    calculator.startPacing();
    return app.exec();
}
