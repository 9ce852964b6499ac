#pragma once
// The settings window: every configuration key as a field of the form, settings files
// saved and loaded, the run button that writes ipcreg.txt and starts the batch program in
// a terminal, and the run in the window itself. The fields themselves are the settings;
// the window keeps no copy.

#include "gui/batch_launch.h"
#include "gui/settings_file.h"

#include <QMainWindow>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

namespace Ui {
class MainWindowClass;
}
class QComboBox;
class RunPane;

/// Opens a folder in the desktop's file manager; tests put a recorder here.
using FolderOpener = std::function<bool(const QUrl&)>;

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    /// Replaces the process start of the run button (tests record the request).
    void setBatchStarter(BatchStarter starter);
    /// Replaces the opening of the survey folder.
    void setFolderOpener(FolderOpener opener);
    /// A run in the window is going.
    bool isRunning() const;

    // Slots below are connected by name by setupUi: on_<object>_<signal>.
private slots:
    void on_actionSave_Settings_triggered();
    void on_actionSave_Default_Settings_triggered();
    void on_actionLoad_Settings_triggered();
    void on_actionExit_triggered();
    void on_actionAbout_Tavrin_triggered();

public slots:
    /// Writes the form to `filename` (relative to the working directory). A field that
    /// holds no number, or a failed write, is shown in a warning box; returns whether the
    /// file was written.
    bool WriteSettings(const QString& filename);

private slots:
    void on_cmdTavrin_clicked();
    void on_tbBrowse_clicked();
    void on_actionOpen_triggered();
    void on_cmdRunHere_clicked();
    void on_cmdOpenFolder_clicked();

public slots:
    /// Shows the settings of `settingsfile` in every field, loader defaults for absent
    /// keys. A file that cannot be opened changes nothing: returns false with the reason.
    bool LoadSettings(const QString& settingsfile, QString* error = nullptr);
    /// Makes `value`, in its shortest exact text, the current item of a number field,
    /// appending the item when the list lacks that exact text.
    void UpdateValueDouble(QComboBox* mycbox, double value);
    /// The same for an integer, in decimal.
    void UpdateValueInt(QComboBox* mycbox, int value);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void loadStartSettings();
    bool checkedTexts(SettingTexts& texts, const QString& consequence);
    bool writeSettingsOrWarn(const QString& filename, const QString& consequence, bool keepBackup);
    bool writeConfigForRun(const QString& consequence);
    bool refuseSecondRun();
    bool readyToLaunch(bool inWindow, LaunchPlan& plan);
    QString notStartedText() const;
    bool mayStopRun();
    void showValues(const SettingValues& values);
    void chooseSurveyDatabase();
    void useIconBesideProgramIfMissing();

    std::unique_ptr<Ui::MainWindowClass> ui_;
    BatchStarter starter_;
    FolderOpener folderOpener_;
    RunPane* run_ = nullptr;
    int lastMode_ = 4;
};
