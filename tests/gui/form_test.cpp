// The settings form as designed: every field with its geometry, items and start item,
// the labels, the window frame, focus order, and the controls' links to their slots.

#include "gui/mainwindow.h"
#include "tests/gui/gui_test_support.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QComboBox>
#include <QCommandLinkButton>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

class FormTest : public QObject {
    Q_OBJECT

private slots:
    void configurationFields_data();
    void configurationFields();
    void labels_data();
    void labels();
    void windowFrameAndActions();
    void centralControls();
    void focusFollowsCreationOrder();
    void everyControlReachesItsSlot();
    void exitLeavesTheEventLoop();
};

namespace {

// The bare form, as setupUi builds it, before any settings file is shown in it.
struct BareForm {
    QMainWindow window;
    Ui::MainWindowClass ui;
    BareForm() { ui.setupUi(&window); }
};

QStringList itemsOf(const QComboBox* box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
    return items;
}

}  // namespace

void FormTest::configurationFields_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");  // "number": editable, alphabetical; "list": fixed
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<int>("start");
    QTest::newRow("cboTransX") << QStringLiteral("cboTransX") << QStringLiteral("number") << QRect(130, 120, 121, 22)
        << QStringList{"0.0", "475000.0."} << 0;
    QTest::newRow("cboTransY") << QStringLiteral("cboTransY") << QStringLiteral("number") << QRect(130, 160, 121, 22)
        << QStringList{"0.0", "3640000.0"} << 0;
    QTest::newRow("cbodScansMin") << QStringLiteral("cbodScansMin") << QStringLiteral("number") << QRect(210, 20, 121, 22)
        << QStringList{"0", "10", "20", "30", "40", "50"} << 0;
    QTest::newRow("cboSuffix") << QStringLiteral("cboSuffix") << QStringLiteral("list") << QRect(220, 80, 121, 22)
        << QStringList{"0 = _rot.txt", "1 = .txt"} << 0;
    QTest::newRow("cbodScanMax") << QStringLiteral("cbodScanMax") << QStringLiteral("number") << QRect(210, 50, 121, 21)
        << QStringList{"100", "150", "200", "250", "300"} << 2;
    QTest::newRow("cboDataDir") << QStringLiteral("cboDataDir") << QStringLiteral("list") << QRect(360, 120, 151, 22)
        << QStringList{"0 = North-South", "1 = East-West"} << 0;
    QTest::newRow("cboZeroPad") << QStringLiteral("cboZeroPad") << QStringLiteral("list") << QRect(360, 150, 151, 22)
        << QStringList{"0 = false", "1 = true"} << 1;
    QTest::newRow("cboRangeMin") << QStringLiteral("cboRangeMin") << QStringLiteral("number") << QRect(90, 50, 121, 22)
        << QStringList{"0", "5", "10", "15", "20", "25"} << 0;
    QTest::newRow("cboRangeMax") << QStringLiteral("cboRangeMax") << QStringLiteral("number") << QRect(280, 50, 121, 22)
        << QStringList{"100", "150", "200", "250"} << 0;
    QTest::newRow("cboXmin") << QStringLiteral("cboXmin") << QStringLiteral("number") << QRect(90, 90, 121, 22)
        << QStringList{"-999999999.9"} << 0;
    QTest::newRow("cboXmax") << QStringLiteral("cboXmax") << QStringLiteral("number") << QRect(280, 90, 121, 22)
        << QStringList{"999999999.9"} << 0;
    QTest::newRow("cboYmin") << QStringLiteral("cboYmin") << QStringLiteral("number") << QRect(90, 120, 121, 22)
        << QStringList{"-999999999.9"} << 0;
    QTest::newRow("cboYmax") << QStringLiteral("cboYmax") << QStringLiteral("number") << QRect(280, 120, 121, 22)
        << QStringList{"999999999.9"} << 0;
    QTest::newRow("cboZmin") << QStringLiteral("cboZmin") << QStringLiteral("number") << QRect(90, 150, 121, 22)
        << QStringList{"-999999999.9", "0", "1.0", "2.0", "3.0", "4.0", "5.0"} << 0;
    QTest::newRow("cboZmax") << QStringLiteral("cboZmax") << QStringLiteral("number") << QRect(280, 150, 121, 22)
        << QStringList{"999999999.9"} << 0;
    QTest::newRow("cboFilter") << QStringLiteral("cboFilter") << QStringLiteral("list") << QRect(180, 20, 251, 22)
        << QStringList{"0 = Only for Registration and RMS calculations", "1 = Always"} << 0;
    QTest::newRow("cboAdjust") << QStringLiteral("cboAdjust") << QStringLiteral("list") << QRect(100, 220, 311, 22)
        << QStringList{"0 = Adjust scan to GPS,level sensors, and Az estimate.", "1 = Adjustments already applied.  Az correction only."} << 0;
    QTest::newRow("cboCubedx") << QStringLiteral("cboCubedx") << QStringLiteral("number") << QRect(120, 150, 69, 22)
        << QStringList{"0.25", "0.5", "1.0", "1.5", "2.0", "2.5", "3.0"} << 2;
    QTest::newRow("cboCubedy") << QStringLiteral("cboCubedy") << QStringLiteral("number") << QRect(230, 150, 91, 22)
        << QStringList{"0.25", "0.50", "1.0", "1.5", "2.0", "2.5", "3.0"} << 2;
    QTest::newRow("cboCubedz") << QStringLiteral("cboCubedz") << QStringLiteral("number") << QRect(360, 150, 69, 22)
        << QStringList{"0.25", "0.5", "1.0", "1.5", "2.0", "2.5", "3.0"} << 2;
    QTest::newRow("cboMinPtsPerCube") << QStringLiteral("cboMinPtsPerCube") << QStringLiteral("number") << QRect(120, 180, 69, 22)
        << QStringList{"5", "10", "15", "20", "25"} << 1;
    QTest::newRow("cboMinPts") << QStringLiteral("cboMinPts") << QStringLiteral("number") << QRect(150, 100, 69, 20)
        << QStringList{"1000", "2000", "3000", "4000", "5000", "6000", "7000", "8000", "9000", "10000"} << 0;
    QTest::newRow("cboAlpha") << QStringLiteral("cboAlpha") << QStringLiteral("number") << QRect(120, 300, 69, 22)
        << QStringList{"0.25", "0.5", "0.75", "1.0", "1.5", "2.0", "2.5"} << 1;
    QTest::newRow("cboError") << QStringLiteral("cboError") << QStringLiteral("list") << QRect(120, 40, 171, 22)
        << QStringList{"0 = Point to Point (ICP)", "1 = Point to Plane"} << 1;
    QTest::newRow("cboIter") << QStringLiteral("cboIter") << QStringLiteral("number") << QRect(390, 70, 69, 22)
        << QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "50"} << 10;
    QTest::newRow("cboDalpha") << QStringLiteral("cboDalpha") << QStringLiteral("number") << QRect(340, 300, 69, 22)
        << QStringList{"2", "3", "4", "5", "6", "7", "8", "9", "10"} << 3;
    QTest::newRow("cboDistThreshMAX_initial") << QStringLiteral("cboDistThreshMAX_initial") << QStringLiteral("number") << QRect(420, 220, 69, 22)
        << QStringList{"0.25", "0.50", "0.75", "1.0"} << 1;
    QTest::newRow("cboSol") << QStringLiteral("cboSol") << QStringLiteral("list") << QRect(120, 10, 171, 22)
        << QStringList{"0 = Partial Least Squares", "1 = Brute Force Method", "2 = \"Ping Pong\" Least Squares"} << 2;
    QTest::newRow("cboAlphaThresh") << QStringLiteral("cboAlphaThresh") << QStringLiteral("number") << QRect(120, 210, 81, 22)
        << QStringList{"0.001"} << 0;
    QTest::newRow("cboRMSthresh") << QStringLiteral("cboRMSthresh") << QStringLiteral("number") << QRect(120, 250, 69, 22)
        << QStringList{"0.01", "0.02", "0.03", "0.04", "0.05"} << 0;
    QTest::newRow("cboDistThreshMax_FINAL") << QStringLiteral("cboDistThreshMax_FINAL") << QStringLiteral("number") << QRect(420, 250, 69, 22)
        << QStringList{"0.05", "0.10", "0.25", "0.50", "0.75", "1.0"} << 1;
    QTest::newRow("cboDistThreshMin_FINAL") << QStringLiteral("cboDistThreshMin_FINAL") << QStringLiteral("number") << QRect(330, 250, 69, 22)
        << QStringList{"0"} << 0;
    QTest::newRow("cboDistThresh_MIN_initial") << QStringLiteral("cboDistThresh_MIN_initial") << QStringLiteral("number") << QRect(330, 220, 69, 22)
        << QStringList{"0", "0.05", "0.1", "0.2", "0.25"} << 0;
    QTest::newRow("cboIter_2") << QStringLiteral("cboIter_2") << QStringLiteral("number") << QRect(150, 70, 69, 22)
        << QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "50"} << 10;
}

void FormTest::configurationFields()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QRect, geometry);
    QFETCH(QStringList, items);
    QFETCH(int, start);
    BareForm form;
    auto* box = form.window.findChild<QComboBox*>(name);
    QVERIFY2(box != nullptr, qPrintable(name));
    QCOMPARE(box->geometry(), geometry);
    QCOMPARE(itemsOf(box), items);
    QCOMPARE(box->currentIndex(), start);
    QCOMPARE(box->isEditable(), kind == "number");
    if (kind == "number") QCOMPARE(box->insertPolicy(), QComboBox::InsertAlphabetically);
}

void FormTest::labels_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::newRow("label") << QStringLiteral("label") << QRect(10, 0, 171, 16) << QStringLiteral("GPS survey database (csv)");
    QTest::newRow("label_11") << QStringLiteral("label_11") << QRect(40, 50, 46, 14) << QStringLiteral("Mode:");
    QTest::newRow("label_19") << QStringLiteral("label_19") << QRect(40, 120, 91, 16) << QStringLiteral("Translation in X");
    QTest::newRow("label_20") << QStringLiteral("label_20") << QRect(40, 160, 91, 16) << QStringLiteral("Translation in Y");
    QTest::newRow("label_22") << QStringLiteral("label_22") << QRect(30, 20, 171, 16) << QStringLiteral("Min Dist Between Scans to match:");
    QTest::newRow("label_23") << QStringLiteral("label_23") << QRect(30, 80, 191, 21) << QStringLiteral("Add Suffix on to filenames on export:");
    QTest::newRow("label_21") << QStringLiteral("label_21") << QRect(30, 50, 191, 16) << QStringLiteral("Max Dist Between Scans to match:");
    QTest::newRow("label_24") << QStringLiteral("label_24") << QRect(280, 120, 91, 16) << QStringLiteral("Data Direction");
    QTest::newRow("label_25") << QStringLiteral("label_25") << QRect(280, 160, 91, 16) << QStringLiteral("Pad Zeros");
    QTest::newRow("label_3") << QStringLiteral("label_3") << QRect(220, 50, 91, 16) << QStringLiteral("< Range >");
    QTest::newRow("label_4") << QStringLiteral("label_4") << QRect(220, 90, 91, 16) << QStringLiteral("<    X    <");
    QTest::newRow("label_5") << QStringLiteral("label_5") << QRect(220, 120, 91, 16) << QStringLiteral("<    Y    <");
    QTest::newRow("label_6") << QStringLiteral("label_6") << QRect(220, 150, 91, 16) << QStringLiteral("<    Z    <");
    QTest::newRow("label_29") << QStringLiteral("label_29") << QRect(90, 20, 101, 16) << QStringLiteral("Filter Application:");
    QTest::newRow("label_32") << QStringLiteral("label_32") << QRect(100, 200, 311, 16) << QStringLiteral("Apply Tranformations?  (rotations and translations in database)");
    QTest::newRow("label_8") << QStringLiteral("label_8") << QRect(100, 150, 46, 14) << QStringLiteral("dX");
    QTest::newRow("label_9") << QStringLiteral("label_9") << QRect(210, 150, 46, 14) << QStringLiteral("dY");
    QTest::newRow("label_10") << QStringLiteral("label_10") << QRect(340, 150, 20, 20) << QStringLiteral("dZ");
    QTest::newRow("label_12") << QStringLiteral("label_12") << QRect(20, 180, 121, 21) << QStringLiteral("Min. Points in Cube:");
    QTest::newRow("label_13") << QStringLiteral("label_13") << QRect(20, 100, 131, 16) << QStringLiteral("Min. Total Match Points: ");
    QTest::newRow("label_14") << QStringLiteral("label_14") << QRect(20, 300, 131, 16) << QStringLiteral("Max Search Angle:");
    QTest::newRow("label_15") << QStringLiteral("label_15") << QRect(20, 40, 111, 16) << QStringLiteral("Error Metric:");
    QTest::newRow("label_36") << QStringLiteral("label_36") << QRect(250, 70, 151, 16) << QStringLiteral("Max Iterations per repeat:");
    QTest::newRow("label_17") << QStringLiteral("label_17") << QRect(210, 300, 131, 16) << QStringLiteral("Search Angle Incriments:");
    QTest::newRow("label_26") << QStringLiteral("label_26") << QRect(20, 10, 111, 16) << QStringLiteral("Solution");
    QTest::newRow("label_27") << QStringLiteral("label_27") << QRect(20, 210, 111, 16) << QStringLiteral("Alpha Threshold:");
    QTest::newRow("label_28") << QStringLiteral("label_28") << QRect(20, 250, 131, 16) << QStringLiteral("RMS Threshold:");
    QTest::newRow("label_16") << QStringLiteral("label_16") << QRect(20, 70, 81, 16) << QStringLiteral("Max Repeat:");
    QTest::newRow("label_7") << QStringLiteral("label_7") << QRect(20, 130, 131, 16) << QStringLiteral("Search Cube Dimensions");
    QTest::newRow("label_18") << QStringLiteral("label_18") << QRect(220, 190, 131, 16) << QStringLiteral("Comp. Dist. Threshold:");
    QTest::newRow("label_33") << QStringLiteral("label_33") << QRect(340, 200, 51, 16) << QStringLiteral("Min");
    QTest::newRow("label_34") << QStringLiteral("label_34") << QRect(430, 200, 51, 16) << QStringLiteral("Max");
    QTest::newRow("label_30") << QStringLiteral("label_30") << QRect(260, 220, 51, 16) << QStringLiteral("Initial:");
    QTest::newRow("label_31") << QStringLiteral("label_31") << QRect(260, 250, 131, 16) << QStringLiteral("Final:");
    QTest::newRow("label_35") << QStringLiteral("label_35") << QRect(10, 280, 131, 16) << QStringLiteral("Modes 0 and 1 only:");
    QTest::newRow("label_2") << QStringLiteral("label_2") << QRect(10, 0, 46, 14) << QStringLiteral("Filters");
}

void FormTest::labels()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    BareForm form;
    auto* label = form.window.findChild<QLabel*>(name);
    QVERIFY2(label != nullptr, qPrintable(name));
    QCOMPARE(label->geometry(), geometry);
    QCOMPARE(label->text(), text);
}

void FormTest::windowFrameAndActions()
{
    BareForm form;
    QCOMPARE(form.window.objectName(), QStringLiteral("MainWindowClass"));
    QCOMPARE(form.window.windowTitle(), QStringLiteral("Tavrin - Batch Scan Alignment Tool"));
    QCOMPARE(form.window.size(), QSize(549, 486));
    QVERIFY(form.window.acceptDrops());
    QCOMPARE(form.ui.menuBar->geometry(), QRect(0, 0, 549, 21));
    QCOMPARE(form.window.toolBarArea(form.ui.mainToolBar), Qt::TopToolBarArea);
    QVERIFY(form.ui.mainToolBar->actions().isEmpty());

    struct ActionRow { const char* name; const char* text; const char* shortcut; const char* toolTip; };
    const ActionRow fileMenu[] = {
        {"actionOpen", "Open", "Ctrl+O", "Open File"},
        {"actionSave_Settings", "Save Settings", "Ctrl+S", "Save Settings"},
        {"actionSave_Default_Settings", "Save Default Settings", "Ctrl+Shift+S", "Save Default Settings"},
        {"actionLoad_Settings", "Load Settings", "Ctrl+L", "Load Settings"},
        {"actionExit", "Exit", "Ctrl+X", "Exit"},
    };
    QCOMPARE(form.ui.menuFile->title(), QStringLiteral("File"));
    QCOMPARE(form.ui.menuFile->actions().size(), 5);
    for (int i = 0; i < 5; ++i) {
        const ActionRow& row = fileMenu[i];
        const QAction* action = form.ui.menuFile->actions().at(i);
        QCOMPARE(action->objectName(), QString::fromLatin1(row.name));
        QCOMPARE(action->text(), QString::fromLatin1(row.text));
        QCOMPARE(action->shortcut(), QKeySequence(QString::fromLatin1(row.shortcut)));
        QCOMPARE(action->toolTip(), QString::fromLatin1(row.toolTip));  // Qt shows the text without one
    }
    QCOMPARE(form.ui.menuHelp->title(), QStringLiteral("Help"));
    QCOMPARE(form.ui.menuHelp->actions().size(), 1);
    QCOMPARE(form.ui.menuHelp->actions().at(0), form.ui.actionAbout_Tavrin);
    QCOMPARE(form.ui.actionAbout_Tavrin->text(), QStringLiteral("About Tavrin"));
    QCOMPARE(form.ui.actionAbout_Tavrin->shortcut(), QKeySequence(QStringLiteral("Ctrl+A")));
    QCOMPARE(form.ui.menuBar->actions().size(), 2);
    QCOMPARE(form.ui.menuBar->actions().at(0), form.ui.menuFile->menuAction());
    QCOMPARE(form.ui.menuBar->actions().at(1), form.ui.menuHelp->menuAction());

    // The tab that opens is the last one.
    const QStringList titles = {"Data Information", "Filtering", "Registration Parameters"};
    const QStringList pages = {"tab_3", "tab_2", "tab"};
    QCOMPARE(form.ui.tabWidget->count(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(form.ui.tabWidget->tabText(i), titles[i]);
        QCOMPARE(form.ui.tabWidget->widget(i)->objectName(), pages[i]);
    }
    QCOMPARE(form.ui.tabWidget->currentIndex(), 2);
    QCOMPARE(form.ui.tabWidget->geometry(), QRect(10, 80, 521, 351));
    QCOMPARE(form.ui.cboDataDir->toolTip(), QStringLiteral("What is the principal data direction?"));
    QCOMPARE(form.ui.cboZmin->toolTip(),
             QStringLiteral("For seacliff applications, it is recommended to set this value above the elevation "
                            "of the beach so that the points on the beach are not used in the analysis."));
}

void FormTest::centralControls()
{
    BareForm form;
    QCOMPARE(form.ui.cmdTavrin->geometry(), QRect(350, 10, 181, 41));
    QCOMPARE(form.ui.cmdTavrin->text(), QStringLiteral("Run Tavrin"));
    QCOMPARE(form.ui.cmdTavrin->font().family(), QStringLiteral("Segoe UI"));
    QCOMPARE(form.ui.cmdTavrin->font().pointSize(), 15);
    QCOMPARE(form.ui.tbBrowse->geometry(), QRect(280, 20, 25, 20));
    QCOMPARE(form.ui.tbBrowse->text(), QStringLiteral("..."));

    QCOMPARE(form.ui.cboInFile->geometry(), QRect(40, 20, 231, 22));
    QVERIFY(form.ui.cboInFile->isEditable());
    QVERIFY(form.ui.cboInFile->acceptDrops());
    QCOMPARE(form.ui.cboInFile->insertPolicy(), QComboBox::InsertAtBottom);
    QCOMPARE(form.ui.cboInFile->count(), 0);

    QCOMPARE(form.ui.cboMode->geometry(), QRect(80, 50, 191, 22));
    QVERIFY(!form.ui.cboMode->isEnabled());
    QVERIFY(!form.ui.cboMode->isEditable());
    QCOMPARE(itemsOf(form.ui.cboMode),
             QStringList({"0 = Not currently functional", "1 = Registration Only", "2 = Rotations Only",
                          "3 = RMS Verication Only", "4 = Run ALL!"}));
    QCOMPARE(form.ui.cboMode->currentIndex(), 0);

    QCOMPARE(form.ui.cbo64->geometry(), QRect(420, 70, 111, 22));
    QVERIFY(!form.ui.cbo64->isEditable());
    QCOMPARE(itemsOf(form.ui.cbo64), QStringList({"0 = 64 bit", "1 = 32 bit"}));
    QCOMPARE(form.ui.cbo64->currentIndex(), 0);

    // The running window adds the one empty database entry and keeps the mode list shut.
    WorkingDirectory cwd;
    MainWindow window;
    auto* inFile = window.findChild<QComboBox*>("cboInFile");
    QCOMPARE(inFile->count(), 1);
    QCOMPARE(inFile->currentIndex(), 0);
    QCOMPARE(inFile->currentText(), QString());
    QVERIFY(!window.findChild<QComboBox*>("cboMode")->isEnabled());
}

void FormTest::focusFollowsCreationOrder()
{
    BareForm form;
    const QStringList expected = {
        "cmdTavrin", "tbBrowse", "tabWidget",
        "cboTransX", "cboTransY", "cbodScansMin", "cboSuffix", "cbodScanMax", "cboDataDir", "cboZeroPad",
        "cboRangeMin", "cboRangeMax", "cboXmin", "cboXmax", "cboYmin", "cboYmax", "cboZmin", "cboZmax",
        "cboFilter", "cboAdjust",
        "cboCubedx", "cboCubedy", "cboCubedz", "cboMinPtsPerCube", "cboMinPts", "cboAlpha", "cboError",
        "cboIter", "cboDalpha", "cboDistThreshMAX_initial", "cboSol", "cboAlphaThresh", "cboRMSthresh",
        "cboDistThreshMax_FINAL", "cboDistThreshMin_FINAL", "cboDistThresh_MIN_initial", "cboIter_2",
        "cboInFile", "cboMode", "cbo64"};
    QStringList chain;
    QWidget* widget = &form.window;
    do {
        widget = widget->nextInFocusChain();
        if (expected.contains(widget->objectName()) && !chain.contains(widget->objectName())) {
            chain << widget->objectName();
        }
    } while (widget != &form.window);
    QCOMPARE(chain, expected);
}

void FormTest::everyControlReachesItsSlot()
{
    // Each control opens its own dialog exactly once: a slot that was not connected by
    // name opens none, one connected twice opens two.
    WorkingDirectory cwd;
    MainWindow window;
    window.setBatchStarter([](const LaunchRequest&) { return true; });
    struct Row { const char* control; const char* title; };
    const Row rows[] = {
        {"tbBrowse", "Choose GPS database file .csv"},
        {"actionOpen", "Choose GPS database file .csv"},
        {"actionSave_Settings", "Select File to Save"},
        {"actionLoad_Settings", "Select Settings File to load"},
        {"actionSave_Default_Settings", ""},
        {"actionAbout_Tavrin", "Tavrin v2.0"},
        {"cmdTavrin", "Tavrin GUI"},  // empty database field
    };
    for (const Row& row : rows) {
        const QString control = QString::fromLatin1(row.control);
        const auto shown = runAnswering([&] {
            if (auto* button = window.findChild<QAbstractButton*>(control)) {
                QTest::mouseClick(button, Qt::LeftButton);
            } else {
                window.findChild<QAction*>(control)->trigger();
            }
        }, {cancel()});
        QCOMPARE(int(shown.size()), 1);
        QCOMPARE(shown[0].title, QString::fromLatin1(row.title));
        if (control == "actionAbout_Tavrin") {
            QCOMPARE(shown[0].text, QStringLiteral("Tavrin v2.0  Point Cloud Alignment Software GUI\n       March 2009\n"
                                                   "Last Updated:  August 2011\nCreated using QT"));
            QCOMPARE(shown[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        }
    }
}

void FormTest::exitLeavesTheEventLoop()
{
    WorkingDirectory cwd;
    MainWindow window;
    window.show();
    QTimer::singleShot(0, window.findChild<QAction*>("actionExit"), &QAction::trigger);
    QTimer guard;  // ends a loop that Exit failed to end, with a code the test rejects
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    guard.start(5000);
    QCOMPARE(QApplication::exec(), 0);
}

#include "form_test.moc"

int runFormTest(int argc, char** argv)
{
    FormTest test;
    return QTest::qExec(&test, argc, argv);
}
