// Settings program: edits the batch program's configuration in a form and starts it.

#include "gui/mainwindow.h"

#include <QApplication>
#include <QFont>

#include <clocale>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // Qt adopts the user's locale; settings files and the batch program use '.' as the
    // decimal point whatever it is, and they are read and written with the C library.
    std::setlocale(LC_NUMERIC, "C");
    // The form's fixed geometries fit labels in an 8-point font (the run button sets its
    // own); larger desktop defaults would clip them.
    QFont font = QApplication::font();
    font.setPointSize(8);
    QApplication::setFont(font);
    MainWindow window;
    window.show();
    return app.exec();
}
