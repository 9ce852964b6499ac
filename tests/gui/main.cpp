// One executable for the settings-window tests; each class runs in turn.

#include <QApplication>

#include <clocale>

int runFormTest(int argc, char** argv);
int runSettingsTest(int argc, char** argv);
int runRunTest(int argc, char** argv);

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    std::setlocale(LC_NUMERIC, "C");  // as the program's own main does
    int failed = 0;
    failed += runFormTest(argc, argv);
    failed += runSettingsTest(argc, argv);
    failed += runRunTest(argc, argv);
    return failed;
}
