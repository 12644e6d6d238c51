// velmora-gui: the desktop program.
//   velmora-gui [FILE.fl3]           opens the file at its stored step
//   velmora-gui --screenshot DIR     shows each window on a worked example, saves a PNG
//                                    of it into DIR and exits
#include <QApplication>
#include <QStringList>
#include <cstdio>

#include "main_window.h"
#include "screenshots.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("velmora-gui");
    QStringList args = QApplication::arguments();
    args.removeFirst();
    QString screenshots, file;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "--screenshot" && i + 1 < args.size()) {
            screenshots = args[++i];
        } else if (args[i] == "--help") {
            std::printf("usage: velmora-gui [FILE.fl3] [--screenshot DIR]\n");
            return 0;
        } else if (args[i].startsWith("--")) {
            std::fprintf(stderr, "velmora: unknown option %s\n", args[i].toLocal8Bit().constData());
            return 2;
        } else {
            file = args[i];
        }
    }
    velmora::gui::MainWindow window;
    if (!window.Start()) return 1;
    window.show();
    if (!screenshots.isEmpty()) return velmora::gui::TakeScreenshots(window, screenshots, file) ? 0 : 1;
    if (!file.isEmpty()) {
        window.Model().OpenDesign(file.toStdString());
        window.Sync();
    }
    return app.exec();
}
