#pragma once
// Finding and starting the batch program. The batch program reads "ipcreg.txt" from its
// working directory only when its argument 0 carries no folder, so it is always started
// under its bare file name, with the survey database as its only argument, in the
// settings program's working directory.

#include <QString>
#include <QStringList>

#include <functional>

struct LaunchRequest {
    QString program;           ///< executable the operating system starts
    QStringList arguments;     ///< each value one argument; no shell re-parses them
    QString workingDirectory;  ///< where the batch program looks for ipcreg.txt
};

/// Starts a request, detached. Returns false when the process could not be started.
/// Tests put a recorder here instead of starting anything.
using BatchStarter = std::function<bool(const LaunchRequest&)>;

/// Where a bare program name is looked for, in this order: the settings program's own
/// folder, the working directory, then the folders of PATH.
struct SearchPlaces {
    QString programDir;    ///< folder of the running settings program
    QString currentDir;    ///< working directory, also the batch program's
    QStringList pathDirs;  ///< PATH, in its order
};

struct LaunchPlan {
    bool ok = false;        ///< request is ready to start
    LaunchRequest request;  ///< valid when ok
    QString problem;        ///< when not ok: what was looked for and where
};

/// "tavrinbatch_x64" or "tavrinbatch_32b", with ".exe" on Windows.
QString batchProgramName(bool use32Bit);

/// The places of the running program and environment.
SearchPlaces currentSearchPlaces();

/// Finds `name` and builds the request that starts it on `database`. On Linux and other
/// Unix systems the batch program needs a console for its questions, so the request
/// starts a terminal emulator (x-terminal-emulator, else xterm) that runs it through
/// bash's `exec -a`, which sets argument 0 to the bare name.
LaunchPlan planBatchLaunch(const QString& name, const QString& database, const SearchPlaces& places);

/// Finds `name` like planBatchLaunch and builds the request that runs it as a child of the
/// window, its console read by the window: on Linux and other Unix systems through bash's
/// `exec -a`, so that argument 0 is the bare name; on Windows by the bare name itself.
LaunchPlan planInWindowLaunch(const QString& name, const QString& database, const SearchPlaces& places);

/// The real starter: QProcess::startDetached with the request's list and folder.
bool startDetachedProcess(const LaunchRequest& request);
