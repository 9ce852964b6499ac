#pragma once
// The settings window: every configuration key as a field of the form, settings files
// saved and loaded, and the run button that writes ipcreg.txt and starts the batch
// program. The fields themselves are the settings; the window keeps no copy.

#include "gui/batch_launch.h"
#include "gui/settings_file.h"

#include <QMainWindow>
#include <QString>

#include <memory>

namespace Ui {
class MainWindowClass;
}
class QComboBox;

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    /// Replaces the process start of the run button (tests record the request).
    void setBatchStarter(BatchStarter starter);

    // Slots below are connected by name by setupUi: on_<object>_<signal>.
private slots:
    void on_actionSave_Settings_triggered();
    void on_actionSave_Default_Settings_triggered();
    void on_actionLoad_Settings_triggered();
    void on_actionExit_triggered();
    void on_actionAbout_Tavrin_triggered();

public slots:
    /// Writes the form to `filename` (relative to the working directory). A failure is
    /// shown in a warning box naming the file; returns whether the file was written.
    bool WriteSettings(const QString& filename);

private slots:
    void on_cmdTavrin_clicked();
    void on_tbBrowse_clicked();
    void on_actionOpen_triggered();

public slots:
    /// Shows the settings of `settingsfile` in every field, loader defaults for absent
    /// keys. A file that cannot be opened changes nothing: returns false with the reason.
    bool LoadSettings(const QString& settingsfile, QString* error = nullptr);
    /// Makes `value` as "%g" text the current item of a number field, appending the item
    /// when the list lacks that exact text.
    void UpdateValueDouble(QComboBox* mycbox, double value);
    /// The same for an integer, in decimal.
    void UpdateValueInt(QComboBox* mycbox, int value);

private:
    bool writeSettingsOrWarn(const QString& filename, const QString& consequence);
    void showValues(const SettingValues& values);
    void chooseSurveyDatabase();
    void useIconBesideProgramIfMissing();

    std::unique_ptr<Ui::MainWindowClass> ui_;
    BatchStarter starter_;
};
