#pragma once
// A run of the batch program inside the window: the child process, its console shown
// live, the progress bar fed from its percentage lines, and at the end the outcome in
// words, its last lines and the plan it drew.

#include "gui/batch_launch.h"
#include "gui/batch_output.h"

#include <QElapsedTimer>
#include <QObject>
#include <QProcess>

class PlanView;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;

/// The widgets of the form that show a run.
struct RunWidgets {
    QProgressBar* progress = nullptr;   ///< percentage of the current stage
    QLabel* status = nullptr;           ///< what is going on, then the outcome in words
    QLabel* result = nullptr;           ///< the run's last lines
    QTabWidget* tabs = nullptr;         ///< console page, then plan page
    QPlainTextEdit* console = nullptr;  ///< the console, read only
    PlanView* plan = nullptr;           ///< the plan of the run
    QPushButton* openFolder = nullptr;  ///< opens the survey folder once a run has ended
};

class RunPane : public QObject {
    Q_OBJECT

public:
    RunPane(const RunWidgets& widgets, QObject* parent);
    ~RunPane() override;

    bool isRunning() const { return process_.state() != QProcess::NotRunning; }

    /// Starts `request` and answers its questions: `mode` at the mode prompt, ENTER at
    /// the scan list and at the end. `surveyFolder` is what the open-folder button opens.
    void start(const LaunchRequest& request, int mode, const QString& surveyFolder);

    /// Ends a run that is going and waits for it; the outcome says it was stopped.
    void stop();

    QString surveyFolder() const { return surveyFolder_; }

signals:
    /// The run has ended (or could not start); `outcome` is the status text in words.
    void runEnded(const QString& outcome);

private:
    void takeOutput();
    void showConsole();
    void finish(int exitStatus, QProcess::ExitStatus how);
    void failToStart();

    RunWidgets ui_;
    QProcess process_;
    ConsoleLines console_;
    int linesShown_ = 0;
    bool stopping_ = false;
    QString surveyFolder_;
    QString workingDirectory_;
    QElapsedTimer clock_;
};
