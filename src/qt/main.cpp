#include <QApplication>

#include "application_folder.hpp"
#include "link/control_server.hpp"
#include "main_window.hpp"
#include "window_font.hpp"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    corvalis::qt::loadTahoma();

    corvalis::qt::MainWindow window(corvalis::qt::folders(),
                                    corvalis::link::controlServerFromEnvironment());
    window.start();
    return QApplication::exec();
}
