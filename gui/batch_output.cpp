#include "gui/batch_output.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace {

const QString PLAN_LINE = QStringLiteral("Plan of the run written to ");

QString tr(const char* text) { return QCoreApplication::translate("BatchOutput", text); }

}  // namespace

QStringList ConsoleLines::feed(const QByteArray& bytes)
{
    QStringList ended;
    for (const char c : bytes) {
        if (c == '\n') {
            if (!ended_)
                ended << current();
            finished_ << current();
            current_.clear();
            returned_ = ended_ = false;
        } else if (c == '\r') {
            if (!ended_)
                ended << current();
            returned_ = ended_ = true;
        } else {
            if (returned_)
                current_.clear();
            current_ += c;
            returned_ = ended_ = false;
        }
    }
    return ended;
}

std::optional<int> progressPercent(const QString& line)
{
    static const QRegularExpression after(QStringLiteral("percent complete[ .]*(\\d+(\\.\\d*)?)"),
                                          QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression before(QStringLiteral("^\\s*(\\d+(\\.\\d*)?) (percent )?complete"),
                                           QRegularExpression::CaseInsensitiveOption);
    QRegularExpressionMatch match = after.match(line);
    if (!match.hasMatch())
        match = before.match(line);
    if (!match.hasMatch())
        return std::nullopt;
    const double percent = match.captured(1).toDouble();
    return int(std::lround(std::clamp(percent, 0.0, 100.0)));
}

QString runOutcome(int exitStatus, bool exitedNormally)
{
    if (!exitedNormally)
        return tr("Stopped: the batch program did not end normally");
    switch (exitStatus) {
    case 0:
        return tr("Finished");
    case 2:
        return tr("Finished with failures: some pair had no valid RMS or a scan could not be read");
    case 1:
        return tr("Stopped by an error");
    default:
        return tr("Stopped by an error (exit status %1)").arg(exitStatus);
    }
}

QStringList closingLines(const QStringList& lines, int count)
{
    QStringList closing;
    for (auto line = lines.crbegin(); line != lines.crend() && closing.size() < count; ++line) {
        const QString text = line->trimmed();
        if (text.isEmpty() || progressPercent(text) || text.startsWith(QLatin1String("Press ENTER")))
            continue;
        closing.prepend(text);
    }
    return closing;
}

QString writtenPlan(const QStringList& lines)
{
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        if (line->startsWith(PLAN_LINE))
            return line->mid(PLAN_LINE.size());
    }
    return QString();
}
