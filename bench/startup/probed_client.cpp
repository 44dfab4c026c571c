// The shipped client's main() with the first-paint probe added: the same library, window and
// start-up, so the benchmark times what users start while the shipped program carries no probe.
#include <QApplication>

#include "application_folder.hpp"
#include "link/control_server.hpp"
#include "main_window.hpp"
#include "startup_probe.hpp"
#include "window_font.hpp"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    corvalis::qt::loadTahoma();

    corvalis::qt::MainWindow window(corvalis::qt::folders(),
                                    corvalis::link::controlServerFromEnvironment());
    corvalis::qt::reportFirstPaintWhenAsked(window);
    window.start();
    return QApplication::exec();
}
