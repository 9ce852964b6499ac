#pragma once
// Reading the batch program's console: its lines as a terminal shows them, the
// percentages of its progress lines, what its exit status says and what its last lines
// name. Plain text work, no widgets.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

/// A console's text as a terminal shows it: "\n" ends a line; "\r" returns to the line's
/// start, so that the next text replaces it (the batch program's progress lines).
class ConsoleLines {
public:
    /// Takes the next bytes of output; returns the lines they ended, by "\n" or "\r".
    QStringList feed(const QByteArray& bytes);
    /// Every line ended by "\n", in order.
    const QStringList& finished() const { return finished_; }
    /// The line being written: what the terminal shows after the finished lines.
    QString current() const { return QString::fromLocal8Bit(current_); }

private:
    QStringList finished_;
    QByteArray current_;
    bool returned_ = false;  ///< a "\r" came: the next text starts the line anew
    bool ended_ = false;     ///< `current_` was already returned as an ended line
};

/// The percentage a progress line reports ("Percent complete........33",
/// "12.5 Complete, RMSmin = ...", "100 percent complete"), 0 to 100; none for other lines.
std::optional<int> progressPercent(const QString& line);

/// The end of a run in words, from the batch program's exit status.
QString runOutcome(int exitStatus, bool exitedNormally);

/// The last `count` lines that say something: empty lines, progress lines and the closing
/// prompt left out.
QStringList closingLines(const QStringList& lines, int count);

/// The plan file that a "Plan of the run written to <file>" line names, or empty.
QString writtenPlan(const QStringList& lines);
