// Settings files through the window: what a first start shows and writes, how loaded
// lines reach the fields, save-then-load, and the failures the user is told about.

#include "gui/mainwindow.h"
#include "gui/settings_file.h"
#include "tests/gui/gui_test_support.h"

#include <QComboBox>
#include <QLineEdit>
#include <QStatusBar>
#include <QTabWidget>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <random>

#include <csignal>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

class SettingsTest : public QObject {
    Q_OBJECT

private slots:
    void firstStartWritesDefaultLayout();
    void startupShowsDefaultSettingsFile();
    void startupPrefersTheFolderSettings_data();
    void startupPrefersTheFolderSettings();
    void saveKeepsEveryDigit_data();
    void saveKeepsEveryDigit();
    void numberFieldsTakeNumbersOnly_data();
    void numberFieldsTakeNumbersOnly();
    void loadedLineReachesField_data();
    void loadedLineReachesField();
    void everyKeyHasItsOwnField();
    void saveThenLoadSelectsSameItems();
    void failedLoadLeavesFormAlone();
    void failedSaveNamesTheFile();
    void writeAsUnprivilegedUser_data();
    void writeAsUnprivilegedUser();
    void valueCannotBreakTheLayout();
};

namespace {

// Key and field as the form pairs them; kept apart from the program's own binding table
// so that a swapped pair (REGSOL/REGMODE, MAXREPEAT/MAXITER) shows up.
struct KeyField {
    const char* key;
    const char* field;
    bool isList;
};
const KeyField KEY_FIELDS[] = {
    {"GPSMINDIST", "cbodScansMin", false},
    {"GPSMAXDIST", "cbodScanMax", false},
    {"DATADIR", "cboDataDir", true},
    {"TRANSX", "cboTransX", false},
    {"TRANSY", "cboTransY", false},
    {"SCANTRANSFORM", "cboAdjust", true},
    {"ZEROPAD", "cboZeroPad", true},
    {"FILEEXT", "cboSuffix", true},
    {"APPLYFILTER", "cboFilter", true},
    {"MINRANGE", "cboRangeMin", false},
    {"MAXRANGE", "cboRangeMax", false},
    {"XMIN", "cboXmin", false},
    {"XMAX", "cboXmax", false},
    {"YMIN", "cboYmin", false},
    {"YMAX", "cboYmax", false},
    {"ZMIN", "cboZmin", false},
    {"ZMAX", "cboZmax", false},
    {"dCX", "cboCubedx", false},
    {"dCY", "cboCubedy", false},
    {"dCZ", "cboCubedz", false},
    {"NUMPPC", "cboMinPtsPerCube", false},
    {"MINNUMPTS", "cboMinPts", false},
    {"MINDISTINITIAL", "cboDistThresh_MIN_initial", false},
    {"MINDISTFINAL", "cboDistThreshMin_FINAL", false},
    {"MAXDISTINITIAL", "cboDistThreshMAX_initial", false},
    {"MAXDISTFINAL", "cboDistThreshMax_FINAL", false},
    {"REGMODE", "cboError", true},
    {"REGSOL", "cboSol", true},
    {"MAXREPEAT", "cboIter_2", false},
    {"MAXITER", "cboIter", false},
    {"ALPHATHRESH", "cboAlphaThresh", false},
    {"RMSTHRESH", "cboRMSthresh", false},
    {"ALPHA", "cboAlpha", false},
    {"ALPHAINC", "cboDalpha", false},
    {"HEADINGSEARCH", "cboHeadingSearch", false},
    {"ADJUST", "cboSurveyAdjust", true},
    {"THREADS", "cboThreads", false},
};

QComboBox* field(MainWindow& window, const char* name)
{
    return window.findChild<QComboBox*>(QString::fromLatin1(name));
}

// The value after "KEY " on the key's line of a written file, or a null array.
QByteArray writtenValue(const QByteArray& file, const char* key)
{
    const QByteArray prefix = QByteArray(key) + ' ';
    for (const QByteArray& line : file.split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size());
    }
    return QByteArray();
}

// Writes `texts` to `path` in a child process running as the user nobody (the tests run
// as root, which no permission stops) whose files may grow to `sizeLimit` bytes (-1: no
// limit). Returns the child's exit status: 0 written, 1 refused with a reason, 2 refused
// without one, 3 could not become nobody; -1 when the child did not exit.
int writeAsNobody(const QString& path, const SettingTexts& texts, qlonglong sizeLimit)
{
    const pid_t child = fork();
    if (child == 0) {
        if (sizeLimit >= 0) {
            std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead of ending the child
            const rlimit size{rlim_t(sizeLimit), rlim_t(sizeLimit)};
            if (setrlimit(RLIMIT_FSIZE, &size) != 0)
                _exit(3);
        }
        if (getuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            _exit(3);
        QString error;
        const bool written = writeSettingsFile(path, texts, error);
        _exit(written ? 0 : error.isEmpty() ? 2 : 1);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

}  // namespace

void SettingsTest::firstStartWritesDefaultLayout()
{
    WorkingDirectory cwd;  // no ipcreg_def.txt: the loader defaults, and no message
    std::unique_ptr<MainWindow> window;
    QCOMPARE(int(runAnswering([&] { window = std::make_unique<MainWindow>(); }).size()), 0);
    QAction* saveDefault = window->findChild<QAction*>("actionSave_Default_Settings");

    auto shown = runAnswering([&] { saveDefault->trigger(); }, {press(QMessageBox::Cancel)});
    QCOMPARE(int(shown.size()), 1);
    QCOMPARE(shown[0].text, QStringLiteral("Overwrite Default Tavrin Settings"));
    QCOMPARE(shown[0].informativeText, QStringLiteral("Do you want to replace the Default Values?"));
    QCOMPARE(shown[0].buttons, QMessageBox::Save | QMessageBox::Cancel);
    QCOMPARE(shown[0].defaultButton, QMessageBox::Cancel);
    QVERIFY(!QFile::exists(cwd.file("ipcreg_def.txt")));

    shown = runAnswering([&] { saveDefault->trigger(); }, {press(QMessageBox::Save)});
    QCOMPARE(int(shown.size()), 1);
    QCOMPARE(readBytes(cwd.file("ipcreg_def.txt")), readBytes(QStringLiteral(GOLDEN_DIR "/first_start.txt")));
}

void SettingsTest::startupShowsDefaultSettingsFile()
{
    WorkingDirectory cwd;
    QVERIFY(writeBytes(cwd.file("ipcreg_def.txt"), "GPSMAXDIST 150\nTRANSY 3640000.0\n"));
    MainWindow window;
    QCOMPARE(field(window, "cbodScanMax")->currentIndex(), 1);  // the existing item "150"
    QComboBox* transY = field(window, "cboTransY");
    QCOMPARE(transY->currentText(), QStringLiteral("3640000"));
    QCOMPARE(transY->currentIndex(), transY->count() - 1);  // appended, not sorted in
    QCOMPARE(transY->count(), 3);
}

void SettingsTest::startupPrefersTheFolderSettings_data()
{
    QTest::addColumn<QByteArray>("folderSettings");   // ipcreg.txt; null: none
    QTest::addColumn<QByteArray>("defaultSettings");  // ipcreg_def.txt; null: none
    QTest::addColumn<QString>("solution");            // cboSol afterwards
    QTest::addColumn<QString>("transX");              // cboTransX afterwards
    QTest::addColumn<QString>("status");              // the status bar names this file, or says "defaults"

    const QByteArray handEdited = "# cliff 2009, edited by hand\nREGSOL 3\nDATADIR 1\nTRANSX 512743.63\n";
    QTest::newRow("folder settings over the default file")
        << handEdited << QByteArray("REGSOL 2\nTRANSX 1\n") << "3 = Point-to-Plane Gauss-Newton"
        << "512743.63"
        << "ipcreg.txt";
    QTest::newRow("default file") << QByteArray() << QByteArray("REGSOL 2\nTRANSX 1\n")
                                  << "2 = \"Ping Pong\" Least Squares"
                                  << "1"
                                  << "ipcreg_def.txt";
    // A file that lacks REGSOL shows what the batch program reads: method 0.
    QTest::newRow("folder settings without REGSOL")
        << QByteArray("TRANSX 2\n") << QByteArray() << "0 = Partial Least Squares"
        << "2"
        << "ipcreg.txt";
    // No file at all: the best method for a new survey.
    QTest::newRow("no settings file") << QByteArray() << QByteArray() << "3 = Point-to-Plane Gauss-Newton"
                                      << "0"
                                      << "defaults";
}

void SettingsTest::startupPrefersTheFolderSettings()
{
    QFETCH(QByteArray, folderSettings);
    QFETCH(QByteArray, defaultSettings);
    QFETCH(QString, solution);
    QFETCH(QString, transX);
    QFETCH(QString, status);
    WorkingDirectory cwd;
    if (!folderSettings.isNull())
        QVERIFY(writeBytes(cwd.file("ipcreg.txt"), folderSettings));
    if (!defaultSettings.isNull())
        QVERIFY(writeBytes(cwd.file("ipcreg_def.txt"), defaultSettings));
    MainWindow window;
    QCOMPARE(field(window, "cboSol")->currentText(), solution);
    QCOMPARE(field(window, "cboTransX")->currentText(), transX);
    const QString shown = window.statusBar()->currentMessage();
    QVERIFY2(shown.contains(status == "defaults" ? status : QDir::toNativeSeparators(cwd.file(status))),
             qPrintable(shown));
    if (!folderSettings.isNull())
        QCOMPARE(readBytes(cwd.file("ipcreg.txt")), folderSettings);  // read, not rewritten
}

void SettingsTest::saveKeepsEveryDigit_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QList<double>>("values");

    QTest::newRow("easting") << "TRANSX" << QList<double>{512743.63};
    QTest::newRow("northing") << "TRANSY" << QList<double>{5403547.33};
    QTest::newRow("eight digits") << "XMIN" << QList<double>{12.345678};
    QTest::newRow("a thousand million") << "MAXRANGE" << QList<double>{1000000000.0};
    QTest::newRow("small and large") << "ALPHATHRESH" << QList<double>{1e-10, -1e10, 1.75e-5, 0.1, 1e22, -0.0};
    // Beyond what one line of the readers holds in fixed form: the exponent keeps the digits.
    QTest::newRow("extremes") << "ZMAX" << QList<double>{1e300, -2.2250738585072014e-308, 4.9e-324};

    std::mt19937_64 random(20240521);
    QList<double> survey, anyDouble;
    while (survey.size() < 100) {
        // Values of the size surveys use: 1e-9 to 1e9, both signs.
        const double mantissa = double(random() >> 11) / double(1ULL << 53);
        const int exponent = int(random() % 19) - 9;
        survey << (random() % 2 == 0 ? 1 : -1) * mantissa * std::pow(10.0, exponent);
    }
    while (anyDouble.size() < 100) {
        const uint64_t bits = random();
        double value = 0.0;
        std::memcpy(&value, &bits, sizeof value);
        if (std::isfinite(value))
            anyDouble << value;
    }
    QTest::newRow("random survey values") << "dCX" << survey;
    QTest::newRow("random doubles") << "dCY" << anyDouble;
}

void SettingsTest::saveKeepsEveryDigit()
{
    // A loaded value must be saved so that it reads back as the same double, and in
    // fixed form wherever a line of the readers can hold that.
    QFETCH(QString, key);
    QFETCH(QList<double>, values);
    WorkingDirectory cwd;
    MainWindow window;
    const int k = settingIndex(key.toStdString());
    for (const double value : values) {
        char text[64];
        std::snprintf(text, sizeof text, "%.17g", value);
        QVERIFY(writeBytes(cwd.file("in.txt"), key.toLatin1() + ' ' + text + '\n'));
        QVERIFY(window.LoadSettings(cwd.file("in.txt")));
        QVERIFY(window.WriteSettings(cwd.file("out.txt")));
        SettingValues read;
        QString error;
        QVERIFY(readSettingsFile(cwd.file("out.txt"), read, error));
        const QByteArray written = writtenValue(readBytes(cwd.file("out.txt")), key.toLatin1().constData());
        QVERIFY2(std::memcmp(&read[k].real, &value, sizeof value) == 0, text);
        const bool fits = std::fabs(value) < 1e200 && (value == 0.0 || std::fabs(value) > 1e-200);
        if (fits)
            QVERIFY2(!written.contains('e'), written.constData());
    }
}

void SettingsTest::numberFieldsTakeNumbersOnly_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");  // the key's value in the file; empty: the save is refused
    QTest::addColumn<QString>("message");  // what the refusal names

    QTest::newRow("decimal comma") << "cboTransX"
                                   << "512743,63"
                                   << ""
                                   << "\"Translation in X\" (TRANSX, tab Data Information)";
    QTest::newRow("word") << "cboRangeMax"
                          << "abc"
                          << ""
                          << "\"Range, upper end\" (MAXRANGE, tab Filtering)";
    QTest::newRow("empty") << "cboDistThreshMin_FINAL"
                           << ""
                           << ""
                           << "\"Comp. Dist. Threshold, Final Min\" (MINDISTFINAL, tab Registration Parameters)";
    QTest::newRow("fraction for integer") << "cboMinPts"
                                          << "1000.5"
                                          << ""
                                          << "\"Min. Total Match Points\" (MINNUMPTS, tab Registration Parameters)";
    QTest::newRow("integer beyond 32 bits") << "cboThreads"
                                            << "99999999999"
                                            << ""
                                            << "\"Threads\" (THREADS, tab Registration Parameters)";
    QTest::newRow("decimal point") << "cboTransX"
                                   << "512743.63"
                                   << "512743.63"
                                   << "";
    QTest::newRow("blanks around") << "cboTransY"
                                   << " 12.5 "
                                   << "12.5"
                                   << "";
    QTest::newRow("exponent written in full") << "cboAlphaThresh"
                                              << "1.75e-5"
                                              << "0.0000175"
                                              << "";
    QTest::newRow("leading zero is decimal") << "cboMinPtsPerCube"
                                             << "010"
                                             << "10"
                                             << "";
    QTest::newRow("new key") << "cboHeadingSearch"
                             << "22.5"
                             << "22.5"
                             << "";
}

void SettingsTest::numberFieldsTakeNumbersOnly()
{
    QFETCH(QString, name);
    QFETCH(QString, typed);
    QFETCH(QString, written);
    QFETCH(QString, message);
    WorkingDirectory cwd;
    MainWindow window;
    QComboBox* box = window.findChild<QComboBox*>(name);
    QVERIFY(!box->toolTip().isEmpty());
    box->lineEdit()->clear();
    QTest::keyClicks(box->lineEdit(), typed);
    QCOMPARE(box->currentText(), typed);  // every key press kept, nothing made of the rest
    QCOMPARE(box->lineEdit()->hasAcceptableInput(), !written.isEmpty());
    window.findChild<QTabWidget*>("tabWidget")->setCurrentIndex(0);

    bool saved = false;
    const auto shown =
        runAnswering([&] { saved = window.WriteSettings(cwd.file("out.txt")); }, {press(QMessageBox::Ok)});
    QCOMPARE(saved, !written.isEmpty());
    if (saved) {
        QCOMPARE(int(shown.size()), 0);
        const QString key = box->toolTip().section(QLatin1Char(','), 0, 0);  // "TRANSX, metres ..."
        QCOMPARE(QString::fromLatin1(writtenValue(readBytes(cwd.file("out.txt")), key.toLatin1().constData())),
                 written);
        return;
    }
    QCOMPARE(int(shown.size()), 1);
    QVERIFY2(shown[0].text.contains(message), qPrintable(shown[0].text));
    QVERIFY(shown[0].text.contains(QLatin1Char('"') + typed + QLatin1Char('"')));
    QVERIFY(!QFile::exists(cwd.file("out.txt")));
    // The field's tab is brought to the front.
    auto* tabs = window.findChild<QTabWidget*>("tabWidget");
    QVERIFY(tabs->currentWidget()->isAncestorOf(box));
}

void SettingsTest::loadedLineReachesField_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");  // text the field shows afterwards
    QTest::addColumn<int>("index");     // its current index
    // Indices count the items that the first start already appended (loader defaults
    // such as "1" in cboCubedx or "2" in cboAlpha).

    QTest::newRow("octal integer") << QByteArray("NUMPPC 010\n") << "cboMinPtsPerCube"
                                   << "8" << 5;
    QTest::newRow("hex integer") << QByteArray("NUMPPC 0x1A\n") << "cboMinPtsPerCube"
                                 << "26" << 5;
    QTest::newRow("blank before key") << QByteArray(" NUMPPC 20\n") << "cboMinPtsPerCube"
                                      << "10" << 1;
    QTest::newRow("tab after key") << QByteArray("NUMPPC\t20\n") << "cboMinPtsPerCube"
                                   << "10" << 1;
    QTest::newRow("comment") << QByteArray("#NUMPPC 20\n") << "cboMinPtsPerCube"
                             << "10" << 1;
    QTest::newRow("lower-case key") << QByteArray("dcx 2.0\n") << "cboCubedx"
                                    << "1" << 7;
    QTest::newRow("word for integer") << QByteArray("MAXITER many\n") << "cboIter"
                                      << "5" << 4;
    QTest::newRow("fraction for integer") << QByteArray("MAXITER 7.9\n") << "cboIter"
                                          << "7" << 6;
    QTest::newRow("integer beyond 32 bits") << QByteArray("MAXITER 99999999999\n") << "cboIter"
                                            << "5" << 4;
    QTest::newRow("last duplicate wins") << QByteArray("RMSTHRESH 0.02\nRMSTHRESH 0.05\n") << "cboRMSthresh"
                                         << "0.05" << 4;
    QTest::newRow("bad duplicate keeps earlier") << QByteArray("RMSTHRESH 0.02\nRMSTHRESH x\n") << "cboRMSthresh"
                                                 << "0.02" << 1;
    QTest::newRow("ALPHA line sets ALPHA") << QByteArray("ALPHA 3\n") << "cboAlpha"
                                           << "3" << 8;
    QTest::newRow("ALPHA line leaves ALPHAINC") << QByteArray("ALPHA 3\n") << "cboDalpha"
                                                << "5" << 3;
    QTest::newRow("ALPHAINC line") << QByteArray("ALPHAINC 7\n") << "cboDalpha"
                                   << "7" << 5;
    QTest::newRow("ALPHATHRESH line") << QByteArray("ALPHATHRESH 1e-3\n") << "cboAlphaThresh"
                                      << "0.001" << 0;
    QTest::newRow("every digit") << QByteArray("dCX 1.23456789\n") << "cboCubedx"
                                 << "1.23456789" << 8;
    QTest::newRow("large value in full") << QByteArray("TRANSX 4750000.0\n") << "cboTransX"
                                         << "4750000" << 3;
    QTest::newRow("small value in full") << QByteArray("MAXDISTFINAL 5e-05\n") << "cboDistThreshMax_FINAL"
                                         << "0.00005" << 7;
    QTest::newRow("CR LF line end") << QByteArray("GPSMAXDIST 250\r\n") << "cbodScanMax"
                                    << "250" << 3;
    QTest::newRow("text after the value") << QByteArray("GPSMAXDIST   250 metres\n") << "cbodScanMax"
                                          << "250" << 3;
    // The loader takes 255 characters at a time: the tail of a long comment is a line.
    QTest::newRow("tail of a long line") << (QByteArray("#") + QByteArray(254, 'x') + "GPSMAXDIST 300\n")
                                         << "cbodScanMax"
                                         << "300" << 4;
    QTest::newRow("missing key: loader default item") << QByteArray("") << "cboIter_2"
                                                      << "3" << 2;
    QTest::newRow("missing key: loader default added") << QByteArray("") << "cboRangeMax"
                                                       << "999999999" << 4;
    QTest::newRow("list index") << QByteArray("ZEROPAD 0\n") << "cboZeroPad"
                                << "0 = false" << 0;
    QTest::newRow("list line as written") << QByteArray("REGSOL 2 = \"Ping Pong\" Least Squares\n") << "cboSol"
                                          << "2 = \"Ping Pong\" Least Squares" << 2;
    QTest::newRow("fourth solution method") << QByteArray("REGSOL 3\n") << "cboSol"
                                            << "3 = Point-to-Plane Gauss-Newton" << 3;
    QTest::newRow("list index outside the list") << QByteArray("DATADIR 5\n") << "cboDataDir"
                                                 << "" << -1;
}

void SettingsTest::loadedLineReachesField()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(int, index);
    WorkingDirectory cwd;
    MainWindow window;
    QVERIFY(writeBytes(cwd.file("loaded.txt"), content));
    QVERIFY(window.LoadSettings(cwd.file("loaded.txt")));
    auto* box = window.findChild<QComboBox*>(name);
    QCOMPARE(box->currentText(), text);
    QCOMPARE(box->currentIndex(), index);
}

void SettingsTest::everyKeyHasItsOwnField()
{
    // Every number key gets a value no other key has; every list key index 1.
    WorkingDirectory cwd;
    MainWindow window;
    QByteArray content;
    int value = 11;
    for (const KeyField& row : KEY_FIELDS) {
        content += QByteArray(row.key) + ' ' + QByteArray::number(row.isList ? 1 : value++) + '\n';
    }
    QVERIFY(writeBytes(cwd.file("distinct.txt"), content));
    QVERIFY(window.LoadSettings(cwd.file("distinct.txt")));
    QVERIFY(window.WriteSettings(cwd.file("written.txt")));
    const QByteArray written = readBytes(cwd.file("written.txt"));
    value = 11;
    for (const KeyField& row : KEY_FIELDS) {
        const QComboBox* box = field(window, row.field);
        const QString expected = row.isList ? box->itemText(1) : QString::number(value++);
        QVERIFY2(box->currentText() == expected, row.key);
        QVERIFY2(writtenValue(written, row.key) == expected.toLatin1(), row.key);
    }
}

void SettingsTest::saveThenLoadSelectsSameItems()
{
    WorkingDirectory cwd;
    MainWindow window;
    const char* lists[] = {"cboDataDir", "cboAdjust", "cboZeroPad", "cboSuffix", "cboFilter", "cboError", "cboSol"};
    const int chosen[] = {1, 1, 0, 1, 1, 0, 3};
    for (int i = 0; i < 7; ++i)
        field(window, lists[i])->setCurrentIndex(chosen[i]);
    field(window, "cboTransX")->setEditText(QStringLiteral("475012.25"));

    const QString saved = cwd.file("saved.txt");
    auto shown =
        runAnswering([&] { window.findChild<QAction*>("actionSave_Settings")->trigger(); }, {chooseFile(saved)});
    QCOMPARE(int(shown.size()), 1);
    QCOMPARE(shown[0].title, QStringLiteral("Select File to Save"));
    QCOMPARE(shown[0].nameFilters, QStringList({"Text (*.txt)"}));  // the dialog collapses blanks
    QCOMPARE(shown[0].directory, QDir(cwd.path()).absolutePath());
    QVERIFY(readBytes(saved).contains("\nZEROPAD 0 = false\n"));
    QVERIFY(readBytes(saved).contains("\nREGSOL 3 = Point-to-Plane Gauss-Newton\n"));

    QVERIFY(writeBytes(cwd.file("empty.txt"), ""));
    QVERIFY(window.LoadSettings(cwd.file("empty.txt")));
    shown = runAnswering([&] { window.findChild<QAction*>("actionLoad_Settings")->trigger(); }, {chooseFile(saved)});
    QCOMPARE(int(shown.size()), 1);
    QCOMPARE(shown[0].title, QStringLiteral("Select Settings File to load"));
    for (int i = 0; i < 7; ++i)
        QVERIFY2(field(window, lists[i])->currentIndex() == chosen[i], lists[i]);
    QCOMPARE(field(window, "cboTransX")->currentText(), QStringLiteral("475012.25"));
}

void SettingsTest::failedLoadLeavesFormAlone()
{
    WorkingDirectory cwd;
    MainWindow window;
    QComboBox* maxDist = field(window, "cbodScanMax");
    maxDist->setCurrentIndex(4);
    QAction* load = window.findChild<QAction*>("actionLoad_Settings");

    QCOMPARE(int(runAnswering([&] { load->trigger(); }, {cancel()}).size()), 1);  // silent
    QCOMPARE(maxDist->currentIndex(), 4);

    // The chosen file disappears before it is read.
    const QString gone = cwd.file("gone.txt");
    QVERIFY(writeBytes(gone, "GPSMAXDIST 100\n"));
    const auto shown = runAnswering([&] { load->trigger(); },
                                    {chooseFile(gone, [&] { QFile::remove(gone); }), press(QMessageBox::Ok)});
    QCOMPARE(int(shown.size()), 2);
    QCOMPARE(shown[1].className, QStringLiteral("QMessageBox"));
    QVERIFY(shown[1].text.contains(QDir::toNativeSeparators(gone)));
    QCOMPARE(maxDist->currentIndex(), 4);
}

void SettingsTest::failedSaveNamesTheFile()
{
    WorkingDirectory cwd;
    MainWindow window;
    const QString target = cwd.file("missing-folder/settings.txt");
    bool written = true;
    const auto shown = runAnswering([&] { written = window.WriteSettings(target); }, {press(QMessageBox::Ok)});
    QVERIFY(!written);
    QCOMPARE(int(shown.size()), 1);
    QVERIFY(shown[0].text.contains(QDir::toNativeSeparators(target)));
}

void SettingsTest::writeAsUnprivilegedUser_data()
{
    QTest::addColumn<int>("folderMode");       // permissions of the file's folder
    QTest::addColumn<int>("fileMode");         // of the file there beforehand; -1: none
    QTest::addColumn<qlonglong>("sizeLimit");  // bytes a file may grow to; -1: no limit
    QTest::addColumn<bool>("written");
    QTest::addColumn<QString>("after");  // the file afterwards: new, old, cut (a start of new) or none

    // A folder that takes no temporary file: the file is written in place.
    QTest::newRow("read-only folder, writable file") << 0555 << 0666 << -1LL << true << "new";
    QTest::newRow("read-only folder, no file") << 0555 << -1 << -1LL << false << "none";
    QTest::newRow("read-only folder, read-only file") << 0555 << 0444 << -1LL << false << "old";
    // Written in place, a full disk leaves the file cut short: it must still be reported.
    QTest::newRow("read-only folder, disk full") << 0555 << 0666 << 1000LL << false << "cut";
    // Where the folder takes a temporary file, a failed write keeps the old file whole.
    QTest::newRow("writable folder, disk full") << 0777 << 0666 << 1000LL << false << "old";
}

void SettingsTest::writeAsUnprivilegedUser()
{
    QFETCH(int, folderMode);
    QFETCH(int, fileMode);
    QFETCH(qlonglong, sizeLimit);
    QFETCH(bool, written);
    QFETCH(QString, after);
    TempFolder root;
    QCOMPARE(::chmod(QFile::encodeName(root.path()).constData(), 0755), 0);  // nobody passes through
    SettingTexts texts;
    texts[settingIndex("GPSMAXDIST")] = QStringLiteral("250");
    QString error;
    QVERIFY(writeSettingsFile(root.filePath("expected.txt"), texts, error));
    const QByteArray expected = readBytes(root.filePath("expected.txt"));
    // Longer than the new file, so that writing in place must also cut the old tail off.
    const QByteArray old = "GPSMAXDIST 999\n" + QByteArray(2 * expected.size(), '#') + '\n';

    const QString folder = root.filePath("settings");
    const QString path = QDir(folder).filePath("ipcreg.txt");
    QVERIFY(QDir(root.path()).mkdir("settings"));
    if (fileMode >= 0) {
        QVERIFY(writeBytes(path, old));
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode_t(fileMode)), 0);
    }
    QCOMPARE(::chmod(QFile::encodeName(folder).constData(), mode_t(folderMode)), 0);
    const int status = writeAsNobody(path, texts, sizeLimit);
    ::chmod(QFile::encodeName(folder).constData(), 0755);  // so that the folder can be removed
    QVERIFY2(status != 3, "could not run the write as the user nobody");
    QCOMPARE(status, written ? 0 : 1);

    const QByteArray content = readBytes(path);
    if (after == "new")
        QCOMPARE(content, expected);
    if (after == "old")
        QCOMPARE(content, old);
    if (after == "cut")
        QVERIFY(content.size() < expected.size() && expected.startsWith(content));
    QCOMPARE(QFile::exists(path), after != "none");
    // No temporary file left behind.
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), after == "none" ? 0 : 1);
}

void SettingsTest::valueCannotBreakTheLayout()
{
    // A pasted line break must not add a line that the batch program would read as a key.
    WorkingDirectory cwd;
    SettingTexts texts;
    texts[settingIndex("TRANSX")] = QStringLiteral("0\nGPSMAXDIST 5");
    QString error;
    QVERIFY(writeSettingsFile(cwd.file("s.txt"), texts, error));
    const QByteArray written = readBytes(cwd.file("s.txt"));
    QCOMPARE(written.count('\n'), 111);
    QVERIFY(written.contains("\nTRANSX 0 GPSMAXDIST 5\n"));
}

#include "settings_test.moc"

int runSettingsTest(int argc, char** argv)
{
    SettingsTest test;
    return QTest::qExec(&test, argc, argv);
}
