#include "gui/mainwindow.h"

#include "ui_mainwindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QMessageBox>

namespace {

// Both files live in the working directory: the batch program reads CONFIG_FILE from
// there, and DEFAULT_SETTINGS_FILE is what the window shows at start.
const char* const CONFIG_FILE = "ipcreg.txt";
const char* const DEFAULT_SETTINGS_FILE = "ipcreg_def.txt";
const char* const ICON_FILE = "TavrinIcon.png";

// Which field shows which key. A list field's value is its current index (its items
// begin with that digit); a number field's value is its text.
struct FieldBinding {
    const char* key;
    QComboBox* Ui::MainWindowClass::*field;
    bool isList;
};

constexpr FieldBinding FIELD_BINDINGS[] = {
    {"GPSMINDIST", &Ui::MainWindowClass::cbodScansMin, false},
    {"GPSMAXDIST", &Ui::MainWindowClass::cbodScanMax, false},
    {"DATADIR", &Ui::MainWindowClass::cboDataDir, true},
    {"TRANSX", &Ui::MainWindowClass::cboTransX, false},
    {"TRANSY", &Ui::MainWindowClass::cboTransY, false},
    {"SCANTRANSFORM", &Ui::MainWindowClass::cboAdjust, true},
    {"ZEROPAD", &Ui::MainWindowClass::cboZeroPad, true},
    {"FILEEXT", &Ui::MainWindowClass::cboSuffix, true},
    {"APPLYFILTER", &Ui::MainWindowClass::cboFilter, true},
    {"MINRANGE", &Ui::MainWindowClass::cboRangeMin, false},
    {"MAXRANGE", &Ui::MainWindowClass::cboRangeMax, false},
    {"XMIN", &Ui::MainWindowClass::cboXmin, false},
    {"XMAX", &Ui::MainWindowClass::cboXmax, false},
    {"YMIN", &Ui::MainWindowClass::cboYmin, false},
    {"YMAX", &Ui::MainWindowClass::cboYmax, false},
    {"ZMIN", &Ui::MainWindowClass::cboZmin, false},
    {"ZMAX", &Ui::MainWindowClass::cboZmax, false},
    {"dCX", &Ui::MainWindowClass::cboCubedx, false},
    {"dCY", &Ui::MainWindowClass::cboCubedy, false},
    {"dCZ", &Ui::MainWindowClass::cboCubedz, false},
    {"NUMPPC", &Ui::MainWindowClass::cboMinPtsPerCube, false},
    {"MINNUMPTS", &Ui::MainWindowClass::cboMinPts, false},
    {"MINDISTINITIAL", &Ui::MainWindowClass::cboDistThresh_MIN_initial, false},
    {"MINDISTFINAL", &Ui::MainWindowClass::cboDistThreshMin_FINAL, false},
    {"MAXDISTINITIAL", &Ui::MainWindowClass::cboDistThreshMAX_initial, false},
    {"MAXDISTFINAL", &Ui::MainWindowClass::cboDistThreshMax_FINAL, false},
    {"REGMODE", &Ui::MainWindowClass::cboError, true},
    {"REGSOL", &Ui::MainWindowClass::cboSol, true},
    {"MAXREPEAT", &Ui::MainWindowClass::cboIter_2, false},
    {"MAXITER", &Ui::MainWindowClass::cboIter, false},
    {"ALPHATHRESH", &Ui::MainWindowClass::cboAlphaThresh, false},
    {"RMSTHRESH", &Ui::MainWindowClass::cboRMSthresh, false},
    {"ALPHA", &Ui::MainWindowClass::cboAlpha, false},
    {"ALPHAINC", &Ui::MainWindowClass::cboDalpha, false},
    {"HEADINGSEARCH", &Ui::MainWindowClass::cboHeadingSearch, false},
    {"ADJUST", &Ui::MainWindowClass::cboSurveyAdjust, true},
    {"THREADS", &Ui::MainWindowClass::cboThreads, false},
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

SettingTexts formTexts(Ui::MainWindowClass& ui)
{
    SettingTexts texts;
    for (const FieldBinding& binding : FIELD_BINDINGS) {
        texts[settingIndex(binding.key)] = (ui.*binding.field)->currentText();
    }
    return texts;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), ui_(std::make_unique<Ui::MainWindowClass>()), starter_(startDetachedProcess)
{
    ui_->setupUi(this);
    useIconBesideProgramIfMissing();
    ui_->cboInFile->addItem(QString());
    if (!LoadSettings(QString::fromLatin1(DEFAULT_SETTINGS_FILE))) {
        // No default settings file (a first start): show what an empty file would load.
        showValues(loaderDefaults());
    }
}

MainWindow::~MainWindow() = default;

void MainWindow::setBatchStarter(BatchStarter starter) { starter_ = std::move(starter); }

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
    }
}

void MainWindow::on_actionExit_triggered() { QCoreApplication::quit(); }

void MainWindow::on_actionAbout_Tavrin_triggered()
{
    QMessageBox::information(nullptr, tr("Tavrin v2.0"),
                             tr("Tavrin v2.0  Point Cloud Alignment Software GUI\n"
                                "       March 2009\n"
                                "Last Updated:  August 2011\n"
                                "Created using QT"));
}

bool MainWindow::WriteSettings(const QString& filename) { return writeSettingsOrWarn(filename, QString()); }

void MainWindow::on_cmdTavrin_clicked()
{
    // The batch program reads ipcreg.txt at its start: without a fresh one it would
    // run on stale settings, so a failed write starts nothing.
    if (!writeSettingsOrWarn(QString::fromLatin1(CONFIG_FILE), tr("The batch program was not started.")))
        return;

    const QString name = batchProgramName(ui_->cbo64->currentIndex() != 0);
    const QString database = ui_->cboInFile->currentText();
    if (database.isEmpty()) {
        QMessageBox::information(nullptr, tr("Tavrin GUI"), tr("Please choose a valid GPS survey database.  "));
        return;
    }
    const LaunchPlan plan = planBatchLaunch(name, database, currentSearchPlaces());
    if (!plan.ok) {
        QMessageBox::warning(this, tr("Tavrin GUI"), plan.problem);
        return;
    }
    if (!starter_(plan.request)) {
        QMessageBox::warning(this, tr("Tavrin GUI"),
                             tr("Could not start %1.").arg(QDir::toNativeSeparators(plan.request.program)));
    }
}

void MainWindow::on_tbBrowse_clicked() { chooseSurveyDatabase(); }

void MainWindow::on_actionOpen_triggered() { chooseSurveyDatabase(); }

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

bool MainWindow::writeSettingsOrWarn(const QString& filename, const QString& consequence)
{
    QString error;
    if (writeSettingsFile(filename, formTexts(*ui_), error))
        return true;
    QString text = tr("Could not write the settings file %1:\n%2").arg(shownPath(filename), error);
    if (!consequence.isEmpty())
        text += "\n\n" + consequence;
    QMessageBox::warning(this, tr("Tavrin GUI"), text);
    return false;
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
