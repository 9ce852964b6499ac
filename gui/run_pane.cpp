#include "gui/run_pane.h"

#include "gui/plan_view.h"

#include <QDir>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextCursor>

namespace {

// Lines of the run's end shown under the status.
constexpr int CLOSING_LINES = 3;

}  // namespace

RunPane::RunPane(const RunWidgets& widgets, QObject* parent) : QObject(parent), ui_(widgets)
{
    ui_.console->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    ui_.progress->setRange(0, 100);
    ui_.progress->setValue(0);
    ui_.status->setText(tr("No run yet."));
    // Standard output and error in the order the program wrote them, as a terminal shows.
    process_.setProcessChannelMode(QProcess::MergedChannels);
    connect(&process_, &QProcess::readyReadStandardOutput, this, &RunPane::takeOutput);
    connect(&process_, &QProcess::finished, this, &RunPane::finish);
    connect(&process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            failToStart();
    });
}

RunPane::~RunPane()
{
    // Never leave a batch program behind, writing into the survey folder.
    disconnect(&process_, nullptr, this, nullptr);
    if (isRunning()) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

void RunPane::start(const LaunchRequest& request, int mode, const QString& surveyFolder)
{
    console_ = ConsoleLines();
    linesShown_ = 0;
    stopping_ = false;
    surveyFolder_ = surveyFolder;
    workingDirectory_ = request.workingDirectory;
    ui_.console->clear();
    ui_.plan->clear();
    ui_.tabs->setCurrentIndex(0);
    ui_.progress->setValue(0);
    ui_.result->clear();
    ui_.openFolder->setEnabled(false);
    ui_.status->setText(tr("Mode %1 running ...").arg(mode));
    clock_.start();

    process_.setWorkingDirectory(request.workingDirectory);
    process_.start(request.program, request.arguments);
    // The mode line, then ENTER at the scan list and at the end; once the input is
    // closed, any further wait for ENTER ends as if ENTER had been pressed.
    process_.write(QByteArray::number(mode) + "\n\n\n");
    process_.closeWriteChannel();
}

void RunPane::stop()
{
    if (!isRunning())
        return;
    stopping_ = true;
    process_.kill();
    process_.waitForFinished(5000);
}

void RunPane::takeOutput()
{
    const QStringList ended = console_.feed(process_.readAllStandardOutput());
    for (const QString& line : ended) {
        if (const auto percent = progressPercent(line))
            ui_.progress->setValue(*percent);
    }
    showConsole();
}

void RunPane::showConsole()
{
    // Only what changed: the lines finished since the last call and the line in progress,
    // which always stands in the last block.
    QScrollBar* scroll = ui_.console->verticalScrollBar();
    const bool atEnd = scroll->value() == scroll->maximum();
    QTextCursor cursor(ui_.console->document());
    cursor.movePosition(QTextCursor::End);
    cursor.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
    const QStringList& finished = console_.finished();
    for (; linesShown_ < finished.size(); ++linesShown_) {
        cursor.insertText(finished[linesShown_]);
        cursor.insertBlock();
    }
    cursor.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(console_.current());
    if (atEnd)
        scroll->setValue(scroll->maximum());
}

void RunPane::finish(int exitStatus, QProcess::ExitStatus how)
{
    takeOutput();
    QStringList lines = console_.finished();
    if (!console_.current().isEmpty())
        lines << console_.current();
    const QString outcome =
        stopping_ ? tr("Stopped before its end") : runOutcome(exitStatus, how == QProcess::NormalExit);
    const qint64 seconds = clock_.elapsed() / 1000;
    ui_.status->setText(tr("%1 (%2 s).").arg(outcome).arg(seconds));
    if (exitStatus == 0 && how == QProcess::NormalExit)
        ui_.progress->setValue(100);
    // Long paths are cut in the middle to the pane's width; the tool tip has them whole.
    const QStringList closing = closingLines(lines, CLOSING_LINES);
    QStringList shown;
    for (const QString& line : closing)
        shown << ui_.result->fontMetrics().elidedText(line, Qt::ElideMiddle, ui_.result->width());
    ui_.result->setText(shown.join(QLatin1Char('\n')));
    ui_.result->setToolTip(closing.join(QLatin1Char('\n')));
    const QString plan = writtenPlan(lines);
    if (!plan.isEmpty() && ui_.plan->load(QDir(workingDirectory_).absoluteFilePath(plan)))
        ui_.tabs->setCurrentIndex(1);
    ui_.openFolder->setEnabled(true);
    emit runEnded(outcome);
}

void RunPane::failToStart()
{
    const QString outcome = tr("The batch program could not be started: %1").arg(process_.errorString());
    ui_.status->setText(outcome);
    emit runEnded(outcome);
}
