// The run button: ipcreg.txt first, then the chosen batch build found and started through
// a terminal under its bare name; the refusals; and, with a real batch program, that it
// reads back exactly what the form wrote.

#include "gui/batch_launch.h"
#include "gui/mainwindow.h"
#include "tests/gui/gui_test_support.h"

#include <QComboBox>
#include <QCommandLinkButton>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

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
    QVERIFY(QFile::exists(cwd.file("ipcreg.txt")));  // written before the check
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
        "       Points per cube for registration: 8 \n",
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

#include "run_test.moc"

int runRunTest(int argc, char** argv)
{
    RunTest test;
    return QTest::qExec(&test, argc, argv);
}
