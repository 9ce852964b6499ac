// The run button: ipcreg.txt first, then the chosen batch build found and started through
// a terminal under its bare name; the refusals; and, with a real batch program, that it
// reads back exactly what the form wrote.

#include "gui/batch_launch.h"
#include "gui/mainwindow.h"
#include "tests/gui/gui_test_support.h"

#include "gui/plan_view.h"

#include <QComboBox>
#include <QCommandLinkButton>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabWidget>
#include <QtTest>

#include <set>

class RunTest : public QObject {
    Q_OBJECT

private slots:
    void searchOrder_data();
    void searchOrder();
    void terminalChoice_data();
    void terminalChoice();
    void runWritesConfigThenStartsChosenBuild_data();
    void runWritesConfigThenStartsChosenBuild();
    void runRefusesEmptyDatabase();
    void runStartsNothingWithoutFreshConfig();
    void runReportsWhatItCouldNotFind();
    void runReportsFailedStart();
    void batchProgramReadsWhatFormWrote();
    void runInThisWindow();
};

namespace {

bool makeProgram(const QString& path, bool executable = true)
{
    if (!writeBytes(path, "#!/bin/sh\n"))
        return false;
    QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner;
    if (executable)
        permissions |= QFile::ExeOwner;
    return QFile::setPermissions(path, permissions);
}

// PATH for the duration of a test: one folder holding a terminal emulator stand-in and a
// link to the real bash (the end-to-end run uses it).
class ToolPath {
public:
    ToolPath() : old_(qgetenv("PATH"))
    {
        makeProgram(dir_.filePath("xterm"));
        QFile::link(QStandardPaths::findExecutable("bash"), dir_.filePath("bash"));
        qputenv("PATH", QFile::encodeName(dir_.path()));
    }
    ~ToolPath() { qputenv("PATH", old_); }
    ToolPath(const ToolPath&) = delete;
    ToolPath& operator=(const ToolPath&) = delete;
    QString file(const QString& name) const { return dir_.filePath(name); }
    QString path() const { return dir_.path(); }

private:
    TempFolder dir_;
    QByteArray old_;
};

struct Recorder {
    std::vector<LaunchRequest> requests;
    std::vector<QByteArray> configAtStart;  ///< ipcreg.txt as it was when the start came
    bool result = true;

    BatchStarter starter()
    {
        return [this](const LaunchRequest& request) {
            requests.push_back(request);
            configAtStart.push_back(readBytes(QDir(request.workingDirectory).filePath("ipcreg.txt")));
            return result;
        };
    }
};

QComboBox* field(MainWindow& window, const char* name)
{
    return window.findChild<QComboBox*>(QString::fromLatin1(name));
}

std::vector<ShownDialog> clickRun(MainWindow& window, std::vector<Answer> answers = {})
{
    return runAnswering([&] { QTest::mouseClick(window.findChild<QCommandLinkButton*>("cmdTavrin"), Qt::LeftButton); },
                        std::move(answers));
}

const QString SCRIPT = QStringLiteral("exec -a \"$0\" \"$1\" \"$2\"");

// Answer: in the mode dialog, check the nine modes (5 not choosable) and run `mode`.
Answer runMode(int mode, bool* listed)
{
    return [mode, listed](QWidget* modal) {
        auto* list = modal->findChild<QListWidget*>("lstModes");
        if (list == nullptr) {
            modal->close();
            return;
        }
        *listed = list->count() == 9 && !(list->item(4)->flags() & Qt::ItemIsEnabled)
            && list->item(3)->text().startsWith("4 = Run ALL");
        list->setCurrentRow(mode - 1);
        static_cast<QDialog*>(modal)->accept();
    };
}

void clickRunHere(MainWindow& window)
{
    QTest::mouseClick(window.findChild<QPushButton*>("cmdRunHere"), Qt::LeftButton);
}

}  // namespace

void RunTest::searchOrder_data()
{
    // Folders: p = the settings program's, w = working directory, a and b = PATH in order.
    // A capital letter holds an executable file of the name, a lower-case "-x" suffix a
    // file without execute permission.
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("found");  // folder letter, or "" when nothing can start

    QTest::newRow("program folder first") << QStringList{"P", "W", "A"} << "p";
    QTest::newRow("then working directory") << QStringList{"W", "A", "B"} << "w";
    QTest::newRow("then PATH in its order") << QStringList{"B", "A"} << "a";
    QTest::newRow("file without execute permission skipped") << QStringList{"p-x", "A"} << "a";
    QTest::newRow("only a file without execute permission") << QStringList{"w-x"} << "";
    QTest::newRow("nowhere") << QStringList{} << "";
}

void RunTest::searchOrder()
{
    QFETCH(QStringList, files);
    QFETCH(QString, found);
    TempFolder root;
    for (const char* sub : {"p", "w", "a", "b", "tools"})
        QVERIFY(QDir(root.path()).mkdir(sub));
    const QString name = QStringLiteral("tavrinbatch_x64");
    for (const QString& file : files) {
        const QString folder = root.filePath(file.left(1).toLower());
        QVERIFY(makeProgram(QDir(folder).filePath(name), !file.endsWith("-x")));
    }
    QVERIFY(makeProgram(root.filePath("tools/xterm")));
    QVERIFY(makeProgram(root.filePath("tools/bash")));
    const SearchPlaces places{root.filePath("p"),
                              root.filePath("w"),
                              {root.filePath("a"), root.filePath("b"), root.filePath("tools")}};

    const LaunchPlan plan = planBatchLaunch(name, QStringLiteral("survey.csv"), places);
    if (found.isEmpty()) {
        QVERIFY(!plan.ok);
        QVERIFY(plan.problem.contains(name));
        for (const char* sub : {"p", "w", "a", "b"})
            QVERIFY(plan.problem.contains(root.filePath(sub)));
        if (files.contains("w-x"))
            QVERIFY(plan.problem.contains("not executable"));
        return;
    }
    QVERIFY(plan.ok);
    QCOMPARE(plan.request.program, root.filePath("tools/xterm"));
    QCOMPARE(plan.request.arguments,
             QStringList({"-e", root.filePath("tools/bash"), "-c", SCRIPT, name,
                          QDir(root.filePath(found)).filePath(name), "survey.csv"}));
    QCOMPARE(plan.request.workingDirectory, root.filePath("w"));
}

void RunTest::terminalChoice_data()
{
    QTest::addColumn<QStringList>("tools");
    QTest::addColumn<QString>("terminal");  // "" when the launch must be refused

    QTest::newRow("the system's choice first")
        << QStringList{"xterm", "x-terminal-emulator", "bash"} << "x-terminal-emulator";
    QTest::newRow("xterm otherwise") << QStringList{"xterm", "bash"} << "xterm";
    QTest::newRow("no terminal") << QStringList{"bash"} << "";
    QTest::newRow("no bash") << QStringList{"xterm"} << "";
}

void RunTest::terminalChoice()
{
    QFETCH(QStringList, tools);
    QFETCH(QString, terminal);
    TempFolder root;
    for (const QString& tool : tools)
        QVERIFY(makeProgram(root.filePath(tool)));
    QVERIFY(makeProgram(root.filePath("tavrinbatch_32b")));
    const LaunchPlan plan = planBatchLaunch(QStringLiteral("tavrinbatch_32b"), QStringLiteral("s.csv"),
                                            SearchPlaces{root.path(), root.path(), {root.path()}});
    QCOMPARE(plan.ok, !terminal.isEmpty());
    if (plan.ok) {
        QCOMPARE(plan.request.program, root.filePath(terminal));
    } else {
        QVERIFY(plan.problem.contains(tools.contains("bash") ? "xterm" : "bash"));
    }
}

void RunTest::runWritesConfigThenStartsChosenBuild_data()
{
    QTest::addColumn<int>("build");
    QTest::addColumn<QString>("name");
    QTest::newRow("64 bit") << 0 << "tavrinbatch_x64";
    QTest::newRow("32 bit") << 1 << "tavrinbatch_32b";
}

void RunTest::runWritesConfigThenStartsChosenBuild()
{
    QFETCH(int, build);
    QFETCH(QString, name);
    WorkingDirectory cwd;
    ToolPath tools;
    QVERIFY(makeProgram(cwd.file("tavrinbatch_x64")));
    QVERIFY(makeProgram(cwd.file("tavrinbatch_32b")));
    MainWindow window;
    Recorder recorder;
    window.setBatchStarter(recorder.starter());
    field(window, "cbo64")->setCurrentIndex(build);
    field(window, "cbodScanMax")->setCurrentIndex(3);
    const QString database = QStringLiteral("my survey \"2009\".csv");  // one argument, as typed
    field(window, "cboInFile")->setEditText(database);

    QCOMPARE(int(clickRun(window).size()), 0);
    QCOMPARE(int(recorder.requests.size()), 1);
    const LaunchRequest& request = recorder.requests[0];
    QCOMPARE(request.program, tools.file("xterm"));
    QCOMPARE(request.arguments, QStringList({"-e", tools.file("bash"), "-c", SCRIPT, name, cwd.file(name), database}));
    QCOMPARE(request.workingDirectory, QDir::currentPath());
    QVERIFY(recorder.configAtStart[0].contains("\nGPSMAXDIST 250\n"));
    QCOMPARE(recorder.configAtStart[0].count('\n'), 111);
}

void RunTest::runRefusesEmptyDatabase()
{
    WorkingDirectory cwd;
    MainWindow window;
    Recorder recorder;
    window.setBatchStarter(recorder.starter());
    const auto shown = clickRun(window, {press(QMessageBox::Ok)});
    QCOMPARE(int(shown.size()), 1);
    QCOMPARE(shown[0].title, QStringLiteral("Tavrin GUI"));
    QCOMPARE(shown[0].text, QStringLiteral("Please choose a valid GPS survey database.  "));
    QCOMPARE(shown[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(recorder.requests.empty());
    QVERIFY(!QFile::exists(cwd.file("ipcreg.txt")));  // no run can follow: nothing written
}

void RunTest::runStartsNothingWithoutFreshConfig()
{
    WorkingDirectory cwd;
    ToolPath tools;
    QVERIFY(makeProgram(cwd.file("tavrinbatch_x64")));
    QVERIFY(QDir(cwd.path()).mkdir("ipcreg.txt"));  // cannot be replaced by a file
    MainWindow window;
    Recorder recorder;
    window.setBatchStarter(recorder.starter());
    field(window, "cboInFile")->setEditText(QStringLiteral("survey.csv"));
    const auto shown = clickRun(window, {press(QMessageBox::Ok)});
    QCOMPARE(int(shown.size()), 1);
    QVERIFY(shown[0].text.contains(QDir::toNativeSeparators(cwd.file("ipcreg.txt"))));
    QVERIFY(recorder.requests.empty());
}

void RunTest::runReportsWhatItCouldNotFind()
{
    WorkingDirectory cwd;
    ToolPath tools;
    MainWindow window;
    Recorder recorder;
    window.setBatchStarter(recorder.starter());
    field(window, "cbo64")->setCurrentIndex(1);
    field(window, "cboInFile")->setEditText(QStringLiteral("survey.csv"));
    const auto shown = clickRun(window, {press(QMessageBox::Ok)});
    QCOMPARE(int(shown.size()), 1);
    QVERIFY(shown[0].text.contains("tavrinbatch_32b"));
    QVERIFY(shown[0].text.contains(QDir::toNativeSeparators(QDir::currentPath())));
    QVERIFY(shown[0].text.contains(QDir::toNativeSeparators(tools.path())));
    QVERIFY(recorder.requests.empty());
    QVERIFY(!QFile::exists(cwd.file("ipcreg.txt")));  // checked before anything is written
}

void RunTest::runReportsFailedStart()
{
    WorkingDirectory cwd;
    ToolPath tools;
    QVERIFY(makeProgram(cwd.file("tavrinbatch_x64")));
    MainWindow window;
    Recorder recorder;
    recorder.result = false;
    window.setBatchStarter(recorder.starter());
    field(window, "cboInFile")->setEditText(QStringLiteral("survey.csv"));
    const auto shown = clickRun(window, {press(QMessageBox::Ok)});
    QCOMPARE(int(recorder.requests.size()), 1);
    QCOMPARE(int(shown.size()), 1);
    QVERIFY(shown[0].text.contains(tools.file("xterm")));
}

void RunTest::batchProgramReadsWhatFormWrote()
{
    const QString batch = qEnvironmentVariable("BATCH_EXE");
    if (batch.isEmpty())
        QSKIP("BATCH_EXE names no batch program");
    WorkingDirectory cwd;
    ToolPath tools;
    // A copy of the batch program in its own folder, beside a decoy configuration: only a
    // start under the bare name makes it read the working directory's ipcreg.txt.
    QVERIFY(QDir(cwd.path()).mkdir("bin"));
    QVERIFY(QFile::copy(batch, cwd.file("bin/tavrinbatch_x64")));
    QVERIFY(
        QFile::setPermissions(cwd.file("bin/tavrinbatch_x64"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QVERIFY(writeBytes(cwd.file("bin/ipcreg.txt"), "GPSMAXDIST 999\nNUMPPC 99\n"));
    qputenv("PATH", QFile::encodeName(tools.path() + QDir::listSeparator() + cwd.file("bin")));

    MainWindow window;
    Recorder recorder;
    window.setBatchStarter(recorder.starter());
    const char* const typed[][2] = {
        {"cbodScansMin", "12.5"},
        {"cbodScanMax", "250"},
        {"cboTransX", "475000.25"},
        {"cboTransY", "3640000"},
        {"cboRangeMin", "1.5"},
        {"cboRangeMax", "150"},
        {"cboXmin", "-20"},
        {"cboXmax", "30"},
        {"cboYmin", "-40"},
        {"cboYmax", "50"},
        {"cboZmin", "2.0"},
        {"cboZmax", "60"},
        {"cboCubedx", "0.25"},
        {"cboCubedy", "1.5"},
        {"cboCubedz", "3.0"},
        {"cboMinPtsPerCube", "010"},
        {"cboMinPts", "2000"},
        {"cboDistThreshMAX_initial", "0.75"},
        {"cboIter", "7"},
        {"cboIter_2", "4"},
        {"cboAlpha", "1.5"},
        {"cboDalpha", "9"},
        {"cboAlphaThresh", "0.002"},
        {"cboRMSthresh", "0.03"},
    };
    for (const auto& row : typed)
        field(window, row[0])->setEditText(QString::fromLatin1(row[1]));
    field(window, "cboDataDir")->setCurrentIndex(1);
    field(window, "cboZeroPad")->setCurrentIndex(0);
    field(window, "cboSuffix")->setCurrentIndex(1);
    field(window, "cboError")->setCurrentIndex(0);
    field(window, "cboSol")->setCurrentIndex(2);
    const QString database = cwd.file("cliff survey.csv");
    field(window, "cboInFile")->setEditText(database);
    QCOMPARE(int(clickRun(window).size()), 0);
    QCOMPARE(int(recorder.requests.size()), 1);

    // Run what the terminal would run, answering the menu with 0 (quit).
    const LaunchRequest& request = recorder.requests[0];
    QCOMPARE(request.arguments.value(0), QStringLiteral("-e"));
    QProcess process;
    process.setWorkingDirectory(request.workingDirectory);
    process.start(request.arguments.value(1), request.arguments.mid(2));
    QVERIFY(process.waitForStarted());
    process.write("0\n");
    process.closeWriteChannel();
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    const QByteArray out = process.readAllStandardOutput();

    const QByteArray base = QFile::encodeName(cwd.file("cliff survey"));
    const QByteArray expected[] = {
        "Input file Summary:  \n",
        "   GPS file name: " + QFile::encodeName(database) + " \n",
        "   Assumed filename extension for rms check: .txt (ORIGINAL)\n",
        "   12.500000 < distance between scans for comparison < 250.000000 \n",
        "   Data is principally in a East West Orientation \n",
        "   Scan IDs will NOT be padded with zeroes \n",
        "   Translation of data in X: 475000.250000 \n",
        "   Translation of data in Y: 3640000.000000 \n",
        "     1.500000 < range < 150.000000 \n",
        "     -20.000000 < x < 30.000000 \n",
        "     -40.000000 < y < 50.000000 \n",
        "     2.000000 < z < 60.000000 \n",
        "       dx = 0.250000, dy = 1.500000, dz = 3.000000 \n",
        "       Points per cube for registration: 10 \n",  // "010" typed: ten, not octal eight
        "   Minimum number of points to use for RMS calculation: 2000 \n",
        "   Max distance between point clouds for comparison:  0.750000 \n",
        "   Error metric regmode:  Point to Point \n",
        "  Ping Pong Least Squares Method will be used\n",
        "   Number of iterations for rotations:  7 \n",
        "   Number of Repeat Cycles:  4 \n",
        "   Max search angle(degrees): 1.500000 \n",
        "   Search angle incriment: 9 \n",
        "   Alpha threshold = 0.002000 \n",
        "   RMS threshold = 0.030000 \n",
        "   Tavrin output file name: " + base + "reg.csv \n",
    };
    for (const QByteArray& line : expected)
        QVERIFY2(out.contains(line), line.constData());
    QVERIFY(!out.contains("Could not open master input file"));
}

void RunTest::runInThisWindow()
{
    const QString batch = qEnvironmentVariable("BATCH_EXE");
    const QString generator = qEnvironmentVariable("SURVEY_EXE");
    if (batch.isEmpty() || generator.isEmpty())
        QSKIP("BATCH_EXE or SURVEY_EXE names no program");
    TempFolder root;
    const QString survey = root.filePath("survey");
    QProcess make;
    make.start(generator,
               {"--out", survey, "--scans", "3", "--points", "20000", "--seed", "1", "--regsol", "3", "--quiet"});
    QVERIFY(make.waitForFinished(60000) && make.exitCode() == 0);
    const QByteArray generated = readBytes(QDir(survey).filePath("ipcreg.txt"));
    // A copy of the batch program beside a decoy configuration that pairs nothing: only a
    // start under the bare name reads the ipcreg.txt the window writes.
    ToolPath tools;
    QVERIFY(QDir(root.path()).mkdir("bin"));
    QVERIFY(QFile::copy(batch, root.filePath("bin/tavrinbatch_x64")));
    QVERIFY(QFile::setPermissions(root.filePath("bin/tavrinbatch_x64"),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QVERIFY(writeBytes(root.filePath("bin/ipcreg.txt"), "GPSMAXDIST 1\n"));
    qputenv("PATH", QFile::encodeName(tools.path() + QDir::listSeparator() + root.filePath("bin")));

    WorkingFolder inSurvey(survey.toStdString());
    MainWindow window;  // starts from the survey's own ipcreg.txt
    QStringList opened;
    window.setFolderOpener([&](const QUrl& url) {
        opened << url.toLocalFile();
        return true;
    });
    field(window, "cboInFile")->setEditText(QStringLiteral("survey.csv"));
    std::set<int> progress;
    auto* bar = window.findChild<QProgressBar*>("prgRun");
    connect(bar, &QProgressBar::valueChanged, [&](int value) { progress.insert(value); });

    bool listed = false;
    auto shown = runAnswering([&] { clickRunHere(window); }, {runMode(4, &listed)});
    QCOMPARE(int(shown.size()), 1);
    QVERIFY(listed);
    QVERIFY(window.isRunning());
    QVERIFY(window.statusBar()->currentMessage().contains("ipcreg.txt.bak"));
    // A second press while it runs is refused; closing the window asks first.
    shown = runAnswering([&] { clickRunHere(window); }, {press(QMessageBox::Ok)});
    QCOMPARE(int(shown.size()), 1);
    QVERIFY(shown[0].text.contains("running"));
    window.show();
    shown = runAnswering([&] { window.close(); }, {press(QMessageBox::No)});
    QCOMPARE(int(shown.size()), 1);
    QVERIFY(window.isVisible());

    QTRY_VERIFY_WITH_TIMEOUT(!window.isRunning(), 60000);
    QCOMPARE(readBytes("ipcreg.txt.bak"), generated);  // the survey's own file, kept
    const QString console = window.findChild<QPlainTextEdit*>("txtConsole")->toPlainText();
    QVERIFY2(console.contains("Settings read from ipcreg.txt\n"), qPrintable(console.left(2000)));
    QVERIFY(!console.contains('\r'));
    // A pair's progress lines overwrite each other: one line is left of them.
    // A pair's progress lines overwrite each other, and its result line overwrites them.
    QVERIFY(!console.contains("Complete, RMSmin"));
    QCOMPARE(console.count(QRegularExpression("(^|\n)RMSfinal: ")), 2);
    QVERIFY(progress.count(33) && progress.count(66) && progress.count(100));  // rotation, then the end
    QVERIFY(window.findChild<QLabel*>("lblRunStatus")->text().startsWith("Finished ("));
    QVERIFY(window.findChild<QLabel*>("lblRunResult")->text().contains("Registered 2 of 2 pairs: 0 failed"));
    QCOMPARE(window.findChild<PlanView*>("planView")->shownFile(), QDir(survey).absoluteFilePath("surveyplan.svg"));
    QCOMPARE(window.findChild<QTabWidget*>("tabRun")->currentIndex(), 1);
    QTest::mouseClick(window.findChild<QPushButton*>("cmdOpenFolder"), Qt::LeftButton);
    QCOMPARE(opened, QStringList{QDir(survey).absolutePath()});

    // Closing during a run, answered yes, stops it. The settings are the same as before:
    // no backup replaces the survey's own file.
    shown = runAnswering([&] { clickRunHere(window); }, {runMode(1, &listed)});
    QVERIFY(window.isRunning());
    QCOMPARE(readBytes("ipcreg.txt.bak"), generated);
    QVERIFY(!window.statusBar()->currentMessage().contains(".bak"));
    shown = runAnswering([&] { window.close(); }, {press(QMessageBox::Yes)});
    QCOMPARE(int(shown.size()), 1);
    QVERIFY(!window.isRunning());
    QVERIFY(!window.isVisible());
    QVERIFY(window.findChild<QLabel*>("lblRunStatus")->text().startsWith("Stopped"));
}

#include "run_test.moc"

int runRunTest(int argc, char** argv)
{
    RunTest test;
    return QTest::qExec(&test, argc, argv);
}
