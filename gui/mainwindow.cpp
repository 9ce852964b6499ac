#include "gui/mainwindow.h"

#include "gui/mode_dialog.h"
#include "gui/run_pane.h"
#include "ui_mainwindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QLineEdit>
#include <QMessageBox>
#include <QPalette>
#include <QValidator>

namespace {

// Both files live in the working directory: the batch program reads CONFIG_FILE from
// there, and DEFAULT_SETTINGS_FILE is what the window shows at start.
const char* const CONFIG_FILE = "ipcreg.txt";
const char* const DEFAULT_SETTINGS_FILE = "ipcreg_def.txt";
const char* const ICON_FILE = "TavrinIcon.png";

// Which field shows which key. A list field's value is its current index (its items
// begin with that digit); a number field's value is the number its text holds.
struct FieldBinding {
    const char* key;
    QComboBox* Ui::MainWindowClass::*field;
    bool isList;
    const char* name;  ///< what a message calls the field: its label, or the label and column
};

constexpr FieldBinding FIELD_BINDINGS[] = {
    {"GPSMINDIST", &Ui::MainWindowClass::cbodScansMin, false, "Min Dist Between Scans to match"},
    {"GPSMAXDIST", &Ui::MainWindowClass::cbodScanMax, false, "Max Dist Between Scans to match"},
    {"DATADIR", &Ui::MainWindowClass::cboDataDir, true, "Data Direction"},
    {"TRANSX", &Ui::MainWindowClass::cboTransX, false, "Translation in X"},
    {"TRANSY", &Ui::MainWindowClass::cboTransY, false, "Translation in Y"},
    {"SCANTRANSFORM", &Ui::MainWindowClass::cboAdjust, true, "Apply Tranformations?"},
    {"ZEROPAD", &Ui::MainWindowClass::cboZeroPad, true, "Pad Zeros"},
    {"FILEEXT", &Ui::MainWindowClass::cboSuffix, true, "Add Suffix on to filenames on export"},
    {"APPLYFILTER", &Ui::MainWindowClass::cboFilter, true, "Filter Application"},
    {"MINRANGE", &Ui::MainWindowClass::cboRangeMin, false, "Range, lower end"},
    {"MAXRANGE", &Ui::MainWindowClass::cboRangeMax, false, "Range, upper end"},
    {"XMIN", &Ui::MainWindowClass::cboXmin, false, "X, lower end"},
    {"XMAX", &Ui::MainWindowClass::cboXmax, false, "X, upper end"},
    {"YMIN", &Ui::MainWindowClass::cboYmin, false, "Y, lower end"},
    {"YMAX", &Ui::MainWindowClass::cboYmax, false, "Y, upper end"},
    {"ZMIN", &Ui::MainWindowClass::cboZmin, false, "Z, lower end"},
    {"ZMAX", &Ui::MainWindowClass::cboZmax, false, "Z, upper end"},
    {"dCX", &Ui::MainWindowClass::cboCubedx, false, "Search Cube Dimensions, dX"},
    {"dCY", &Ui::MainWindowClass::cboCubedy, false, "Search Cube Dimensions, dY"},
    {"dCZ", &Ui::MainWindowClass::cboCubedz, false, "Search Cube Dimensions, dZ"},
    {"NUMPPC", &Ui::MainWindowClass::cboMinPtsPerCube, false, "Min. Points in Cube"},
    {"MINNUMPTS", &Ui::MainWindowClass::cboMinPts, false, "Min. Total Match Points"},
    {"MINDISTINITIAL", &Ui::MainWindowClass::cboDistThresh_MIN_initial, false, "Comp. Dist. Threshold, Initial Min"},
    {"MINDISTFINAL", &Ui::MainWindowClass::cboDistThreshMin_FINAL, false, "Comp. Dist. Threshold, Final Min"},
    {"MAXDISTINITIAL", &Ui::MainWindowClass::cboDistThreshMAX_initial, false, "Comp. Dist. Threshold, Initial Max"},
    {"MAXDISTFINAL", &Ui::MainWindowClass::cboDistThreshMax_FINAL, false, "Comp. Dist. Threshold, Final Max"},
    {"REGMODE", &Ui::MainWindowClass::cboError, true, "Error Metric"},
    {"REGSOL", &Ui::MainWindowClass::cboSol, true, "Solution"},
    {"MAXREPEAT", &Ui::MainWindowClass::cboIter_2, false, "Max Repeat"},
    {"MAXITER", &Ui::MainWindowClass::cboIter, false, "Max Iterations per repeat"},
    {"ALPHATHRESH", &Ui::MainWindowClass::cboAlphaThresh, false, "Alpha Threshold"},
    {"RMSTHRESH", &Ui::MainWindowClass::cboRMSthresh, false, "RMS Threshold"},
    {"ALPHA", &Ui::MainWindowClass::cboAlpha, false, "Max Search Angle"},
    {"ALPHAINC", &Ui::MainWindowClass::cboDalpha, false, "Search Angle Incriments"},
    {"HEADINGSEARCH", &Ui::MainWindowClass::cboHeadingSearch, false, "Heading search"},
    {"ADJUST", &Ui::MainWindowClass::cboSurveyAdjust, true, "Scan rotations"},
    {"THREADS", &Ui::MainWindowClass::cboThreads, false, "Threads"},
};
static_assert(sizeof(FIELD_BINDINGS) / sizeof(FIELD_BINDINGS[0]) == SETTING_COUNT, "one field per key");

constexpr bool bindingsFollowTheKeys()
{
    for (int k = 0; k < SETTING_COUNT; ++k) {
        if (settingIndex(FIELD_BINDINGS[k].key) != k)
            return false;
    }
    return true;
}
static_assert(bindingsFollowTheKeys(), "the fields in the order of SETTING_KEYS");

QString shownPath(const QString& path) { return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()); }

// A number field takes any typing, so that no key press is lost and no wrong number is
// made of the rest ("512743,63" must not become 51274363); a text that is no number is
// shown marked and is refused on save and run.
class NumberValidator : public QValidator {
public:
    NumberValidator(SettingType type, QObject* parent) : QValidator(parent), type_(type) { }
    State validate(QString& input, int&) const override
    {
        SettingValue value;
        return parseSettingText(input, type_, value) ? Acceptable : Intermediate;
    }

private:
    SettingType type_;
};

void markIfNoNumber(QComboBox* box)
{
    QLineEdit* edit = box->lineEdit();
    QPalette palette = box->palette();
    if (!edit->hasAcceptableInput())
        palette.setColor(QPalette::Base, QColor(255, 205, 205));
    edit->setPalette(palette);
}

// The tab that holds `widget`, for messages.
QString tabOf(const QTabWidget& tabs, const QWidget* widget)
{
    for (int i = 0; i < tabs.count(); ++i) {
        if (tabs.widget(i)->isAncestorOf(widget))
            return tabs.tabText(i);
    }
    return QString();
}

}  // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), ui_(std::make_unique<Ui::MainWindowClass>()), starter_(startDetachedProcess),
      folderOpener_([](const QUrl& url) { return QDesktopServices::openUrl(url); })
{
    ui_->setupUi(this);
    useIconBesideProgramIfMissing();
    ui_->cboInFile->addItem(QString());
    for (const FieldBinding& binding : FIELD_BINDINGS) {
        QComboBox* box = ui_.get()->*binding.field;
        if (binding.isList)
            continue;
        box->setValidator(new NumberValidator(SETTING_KEYS[settingIndex(binding.key)].type, box));
        connect(box, &QComboBox::editTextChanged, box, [box] { markIfNoNumber(box); });
    }
    RunWidgets run;
    run.progress = ui_->prgRun;
    run.status = ui_->lblRunStatus;
    run.result = ui_->lblRunResult;
    run.tabs = ui_->tabRun;
    run.console = ui_->txtConsole;
    run.plan = ui_->planView;
    run.openFolder = ui_->cmdOpenFolder;
    run_ = new RunPane(run, this);
    connect(run_, &RunPane::runEnded, this, [this](const QString& outcome) { statusBar()->showMessage(outcome); });
    loadStartSettings();
}

MainWindow::~MainWindow() = default;

void MainWindow::setBatchStarter(BatchStarter starter) { starter_ = std::move(starter); }

void MainWindow::setFolderOpener(FolderOpener opener) { folderOpener_ = std::move(opener); }

bool MainWindow::isRunning() const { return run_->isRunning(); }

void MainWindow::on_actionSave_Settings_triggered()
{
    const QString path =
        QFileDialog::getSaveFileName(this, tr("Select File to Save"), QDir::currentPath(), tr("Text  (*.txt)"));
    if (path.isEmpty())
        return;  // cancelled
    WriteSettings(path);
}

void MainWindow::on_actionSave_Default_Settings_triggered()
{
    QMessageBox box;
    box.setText(tr("Overwrite Default Tavrin Settings"));
    box.setInformativeText(tr("Do you want to replace the Default Values?"));
    box.setStandardButtons(QMessageBox::Save | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Cancel);
    if (box.exec() == QMessageBox::Save)
        WriteSettings(QString::fromLatin1(DEFAULT_SETTINGS_FILE));
}

void MainWindow::on_actionLoad_Settings_triggered()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Select Settings File to load"), QDir::currentPath(),
                                                      tr("Text  (*.txt)"));
    if (path.isEmpty())
        return;  // cancelled
    QString error;
    if (!LoadSettings(path, &error)) {
        QMessageBox::warning(this, tr("Tavrin GUI"),
                             tr("Could not read the settings file %1:\n%2").arg(shownPath(path), error));
        return;
    }
    statusBar()->showMessage(tr("Settings read from %1").arg(shownPath(path)));
}

void MainWindow::on_actionExit_triggered()
{
    if (!mayStopRun())
        return;
    run_->stop();
    QCoreApplication::quit();
}

void MainWindow::on_actionAbout_Tavrin_triggered()
{
    QMessageBox::information(nullptr, tr("Tavrin v2.0"),
                             tr("Tavrin v2.0  Point Cloud Alignment Software GUI\n"
                                "       March 2009\n"
                                "Last Updated:  August 2011\n"
                                "Created using QT"));
}

bool MainWindow::WriteSettings(const QString& filename) { return writeSettingsOrWarn(filename, QString(), false); }

// Nothing is written unless the batch program can then be started on it: the checks
// before either run button writes the settings; false (said) when one fails.
bool MainWindow::readyToLaunch(bool inWindow, LaunchPlan& plan)
{
    SettingTexts texts;
    if (refuseSecondRun() || !checkedTexts(texts, notStartedText()))
        return false;
    const QString database = ui_->cboInFile->currentText();
    if (database.isEmpty()) {
        QMessageBox::information(nullptr, tr("Tavrin GUI"), tr("Please choose a valid GPS survey database.  "));
        return false;
    }
    const QString name = batchProgramName(ui_->cbo64->currentIndex() != 0);
    plan = inWindow ? planInWindowLaunch(name, database, currentSearchPlaces())
                    : planBatchLaunch(name, database, currentSearchPlaces());
    if (!plan.ok) {
        QMessageBox::warning(this, tr("Tavrin GUI"), plan.problem + "\n\n" + notStartedText());
        return false;
    }
    return true;
}

QString MainWindow::notStartedText() const { return tr("The batch program was not started."); }

void MainWindow::on_cmdTavrin_clicked()
{
    const QString notStarted = notStartedText();
    LaunchPlan plan;
    if (!readyToLaunch(false, plan))
        return;
    // The batch program reads ipcreg.txt at its start: without a fresh one it would
    // run on stale settings, so a failed write starts nothing.
    if (!writeConfigForRun(notStarted))
        return;
    if (!starter_(plan.request)) {
        QMessageBox::warning(this, tr("Tavrin GUI"),
                             tr("Could not start %1.").arg(QDir::toNativeSeparators(plan.request.program)));
    }
}

void MainWindow::on_tbBrowse_clicked() { chooseSurveyDatabase(); }

void MainWindow::on_actionOpen_triggered() { chooseSurveyDatabase(); }

void MainWindow::on_cmdRunHere_clicked()
{
    LaunchPlan plan;
    if (!readyToLaunch(true, plan))
        return;
    const int mode = askRunMode(this, lastMode_);
    if (mode < 0 || !writeConfigForRun(notStartedText()))
        return;
    lastMode_ = mode;
    const QString database = ui_->cboInFile->currentText();
    const QString folder = QFileInfo(QDir(plan.request.workingDirectory), database).absolutePath();
    run_->start(plan.request, mode, folder);
}

void MainWindow::on_cmdOpenFolder_clicked()
{
    const QString folder = run_->surveyFolder();
    if (!folderOpener_(QUrl::fromLocalFile(folder))) {
        QMessageBox::warning(this, tr("Tavrin GUI"),
                             tr("Could not open the folder %1.").arg(QDir::toNativeSeparators(folder)));
    }
}

bool MainWindow::LoadSettings(const QString& settingsfile, QString* error)
{
    SettingValues values;
    QString reason;
    if (!readSettingsFile(settingsfile, values, reason)) {
        if (error != nullptr)
            *error = reason;
        return false;
    }
    showValues(values);
    return true;
}

void MainWindow::UpdateValueDouble(QComboBox* mycbox, double value)
{
    const QString text = formatRealSetting(value);
    if (mycbox->findText(text) < 0)
        mycbox->addItem(text);  // last, whatever the insert policy
    mycbox->setCurrentIndex(mycbox->findText(text));
}

void MainWindow::UpdateValueInt(QComboBox* mycbox, int value)
{
    const QString text = QString::number(value);
    if (mycbox->findText(text) < 0)
        mycbox->addItem(text);
    mycbox->setCurrentIndex(mycbox->findText(text));
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!mayStopRun()) {
        event->ignore();
        return;
    }
    run_->stop();
    event->accept();
}

void MainWindow::loadStartSettings()
{
    // The folder's own ipcreg.txt is what the batch program would read here: start from
    // it, so that a run does not silently replace it with other settings.
    const QString config = QString::fromLatin1(CONFIG_FILE);
    QString problem;
    if (QFileInfo::exists(config)) {
        QString error;
        if (LoadSettings(config, &error)) {
            statusBar()->showMessage(tr("Settings of this folder read from %1").arg(shownPath(config)));
            return;
        }
        problem = tr("Could not read %1 (%2). ").arg(shownPath(config), error);
    }
    const QString defaults = QString::fromLatin1(DEFAULT_SETTINGS_FILE);
    if (LoadSettings(defaults)) {
        statusBar()->showMessage(problem + tr("Default settings read from %1").arg(shownPath(defaults)));
        return;
    }
    // A first start: the batch program's defaults, but the best method for a new survey.
    SettingValues values = loaderDefaults();
    values[settingIndex("REGSOL")].integer = 3;
    showValues(values);
    statusBar()->showMessage(problem + tr("No settings file here: the fields show the defaults."));
}

bool MainWindow::checkedTexts(SettingTexts& texts, const QString& consequence)
{
    for (const FieldBinding& binding : FIELD_BINDINGS) {
        QComboBox* box = ui_.get()->*binding.field;
        const int k = settingIndex(binding.key);
        if (binding.isList) {
            texts[k] = box->currentText();
            continue;
        }
        // The file gets the number in its shortest exact form: what the batch program
        // reads is then what the field holds, "010" included (ten, not octal eight).
        SettingValue value;
        if (parseSettingText(box->currentText(), SETTING_KEYS[k].type, value)) {
            texts[k] = settingText(SETTING_KEYS[k].type, value);
            continue;
        }
        ui_->tabWidget->setCurrentIndex(ui_->tabWidget->indexOf(box->parentWidget()));
        box->setFocus();
        const QString kind = SETTING_KEYS[k].type == SettingType::Real ? tr("a number (digits and a decimal point)")
                                                                       : tr("a whole number");
        QString text = tr("The field \"%1\" (%2, tab %3) holds \"%4\", which is not %5.")
                           .arg(QString::fromLatin1(binding.name), QString::fromLatin1(binding.key),
                                tabOf(*ui_->tabWidget, box), box->currentText(), kind);
        if (!consequence.isEmpty())
            text += "\n\n" + consequence;
        QMessageBox::warning(this, tr("Tavrin GUI"), text);
        return false;
    }
    return true;
}

bool MainWindow::writeSettingsOrWarn(const QString& filename, const QString& consequence, bool keepBackup)
{
    SettingTexts texts;
    if (!checkedTexts(texts, consequence.isEmpty() ? tr("Nothing was written.") : consequence))
        return false;
    QString error;
    bool keptBackup = false;
    const bool written = keepBackup ? replaceSettingsFile(filename, texts, error, keptBackup)
                                    : writeSettingsFile(filename, texts, error);
    if (written) {
        statusBar()->showMessage(keptBackup ? tr("%1 written; the previous one was kept as %2")
                                                  .arg(shownPath(filename), shownPath(filename + ".bak"))
                                            : tr("%1 written").arg(shownPath(filename)));
        return true;
    }
    QString text = tr("Could not write the settings file %1:\n%2").arg(shownPath(filename), error);
    if (!consequence.isEmpty())
        text += "\n\n" + consequence;
    QMessageBox::warning(this, tr("Tavrin GUI"), text);
    return false;
}

bool MainWindow::writeConfigForRun(const QString& consequence)
{
    return writeSettingsOrWarn(QString::fromLatin1(CONFIG_FILE), consequence, true);
}

bool MainWindow::refuseSecondRun()
{
    // Both runs would write the same tables and rotated scans beside the database.
    if (!run_->isRunning())
        return false;
    QMessageBox::information(this, tr("Tavrin GUI"),
                             tr("The batch program is running in this window. Wait for its end before "
                                "starting another run."));
    return true;
}

bool MainWindow::mayStopRun()
{
    if (!run_->isRunning())
        return true;
    return QMessageBox::question(this, tr("Tavrin GUI"),
                                 tr("The batch program is still running in this window. Stop it?"),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

void MainWindow::showValues(const SettingValues& values)
{
    for (const FieldBinding& binding : FIELD_BINDINGS) {
        QComboBox* box = ui_.get()->*binding.field;
        const int k = settingIndex(binding.key);
        if (binding.isList) {
            box->setCurrentIndex(values[k].integer);  // outside the list: no current item
        } else if (SETTING_KEYS[k].type == SettingType::Integer) {
            UpdateValueInt(box, values[k].integer);
        } else {
            UpdateValueDouble(box, values[k].real);
        }
    }
}

void MainWindow::chooseSurveyDatabase()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Choose GPS database file .csv"), QDir::currentPath(),
                                                      tr("Comma Separated Value  (*.csv *.txt)"));
    if (path.isEmpty())
        return;  // cancelled: the field keeps its path
    ui_->cboInFile->addItem(QDir::toNativeSeparators(path));
    ui_->cboInFile->setCurrentIndex(ui_->cboInFile->count() - 1);
}

void MainWindow::useIconBesideProgramIfMissing()
{
    // The form names the icon relative to the working directory, which is the survey
    // folder when the program is started from there; the build puts a copy beside the
    // program.
    if (QFileInfo::exists(QString::fromLatin1(ICON_FILE)))
        return;
    const QString besideProgram = QDir(QCoreApplication::applicationDirPath()).filePath(ICON_FILE);
    if (!QFileInfo::exists(besideProgram))
        return;
    const QIcon icon(besideProgram);
    setWindowIcon(icon);
    ui_->actionAbout_Tavrin->setIcon(icon);
}
