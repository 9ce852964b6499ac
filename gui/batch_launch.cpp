#include "gui/batch_launch.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

namespace {

struct Found {
    QString path;           ///< executable file, empty when none was found
    QString notExecutable;  ///< first file of that name that lacked execute permission
};

Found findIn(const QString& name, const QStringList& dirs)
{
    Found found;
    for (const QString& dir : dirs) {
        if (dir.isEmpty())
            continue;
        const QFileInfo candidate(QDir(dir).filePath(name));
        if (!candidate.isFile())
            continue;
        if (candidate.isExecutable()) {
            found.path = candidate.absoluteFilePath();
            return found;
        }
        if (found.notExecutable.isEmpty())
            found.notExecutable = candidate.absoluteFilePath();
    }
    return found;
}

QString placesText(const QStringList& dirs)
{
    QStringList shown;
    for (const QString& dir : dirs) {
        if (!dir.isEmpty())
            shown << "  " + QDir::toNativeSeparators(dir);
    }
    return shown.join('\n');
}

QString notFoundText(const QString& name, const QStringList& dirs, const Found& found)
{
    QString text = QCoreApplication::translate("BatchLaunch", "Could not find the program %1.").arg(name);
    if (!found.notExecutable.isEmpty()) {
        text += ' '
            + QCoreApplication::translate("BatchLaunch", "%1 exists but is not executable.")
                  .arg(QDir::toNativeSeparators(found.notExecutable));
    }
    return text + '\n' + QCoreApplication::translate("BatchLaunch", "Looked in:") + '\n' + placesText(dirs);
}

}  // namespace

QString batchProgramName(bool use32Bit)
{
    QString name = use32Bit ? QStringLiteral("tavrinbatch_32b") : QStringLiteral("tavrinbatch_x64");
#ifdef Q_OS_WIN
    name += QStringLiteral(".exe");
#endif
    return name;
}

SearchPlaces currentSearchPlaces()
{
    SearchPlaces places;
    places.programDir = QCoreApplication::applicationDirPath();
    places.currentDir = QDir::currentPath();
    const QString path = QProcessEnvironment::systemEnvironment().value(QStringLiteral("PATH"));
    places.pathDirs = path.split(QDir::listSeparator(), Qt::SkipEmptyParts);
    return places;
}

namespace {

const QString EXEC_UNDER_NAME = QStringLiteral("exec -a \"$0\" \"$1\" \"$2\"");

// The request's folder and, in `found`, the batch program; false with the problem set
// when it is nowhere.
bool findBatch(const QString& name, const SearchPlaces& places, LaunchPlan& plan, Found& found)
{
    const QStringList batchDirs = QStringList{places.programDir, places.currentDir} + places.pathDirs;
    found = findIn(name, batchDirs);
    if (found.path.isEmpty()) {
        plan.problem = notFoundText(name, batchDirs, found);
        return false;
    }
    plan.request.workingDirectory = places.currentDir;
    return true;
}

bool findBash(const SearchPlaces& places, LaunchPlan& plan, Found& bash)
{
    bash = findIn(QStringLiteral("bash"), places.pathDirs);
    if (bash.path.isEmpty()) {
        plan.problem = notFoundText(QStringLiteral("bash"), places.pathDirs, bash);
        return false;
    }
    return true;
}

}  // namespace

LaunchPlan planBatchLaunch(const QString& name, const QString& database, const SearchPlaces& places)
{
    LaunchPlan plan;
    Found batch;
    if (!findBatch(name, places, plan, batch))
        return plan;
#ifdef Q_OS_WIN
    // Windows gives a console program its own console and finds a bare name in the
    // starting program's folder, then the working directory, then PATH: the same file
    // as found above, with argument 0 free of folders.
    plan.request.program = name;
    plan.request.arguments = QStringList{database};
#else
    Found terminal = findIn(QStringLiteral("x-terminal-emulator"), places.pathDirs);
    if (terminal.path.isEmpty())
        terminal = findIn(QStringLiteral("xterm"), places.pathDirs);
    if (terminal.path.isEmpty()) {
        plan.problem = notFoundText(QStringLiteral("x-terminal-emulator / xterm"), places.pathDirs, terminal);
        return plan;
    }
    Found bash;
    if (!findBash(places, plan, bash))
        return plan;
    // The script is constant; the name, the file and the database reach it as $0, $1, $2,
    // so blanks or quotes in the database path cannot change what runs.
    plan.request.program = terminal.path;
    plan.request.arguments =
        QStringList{QStringLiteral("-e"), bash.path, QStringLiteral("-c"), EXEC_UNDER_NAME, name, batch.path, database};
#endif
    plan.ok = true;
    return plan;
}

LaunchPlan planInWindowLaunch(const QString& name, const QString& database, const SearchPlaces& places)
{
    LaunchPlan plan;
    Found batch;
    if (!findBatch(name, places, plan, batch))
        return plan;
#ifdef Q_OS_WIN
    plan.request.program = name;
    plan.request.arguments = QStringList{database};
#else
    // QProcess would pass the whole path as argument 0, and the batch program would then
    // look for its settings beside itself instead of in the working directory.
    Found bash;
    if (!findBash(places, plan, bash))
        return plan;
    plan.request.program = bash.path;
    plan.request.arguments = QStringList{QStringLiteral("-c"), EXEC_UNDER_NAME, name, batch.path, database};
#endif
    plan.ok = true;
    return plan;
}

bool startDetachedProcess(const LaunchRequest& request)
{
    return QProcess::startDetached(request.program, request.arguments, request.workingDirectory);
}
