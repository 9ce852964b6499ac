#pragma once
// Helpers shared by the settings-window tests: a private working directory, files, and
// answering the modal dialogs that the window opens.

#include "tests/support/test_files.h"

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <vector>

/// A fresh temporary folder, removed with its contents when the object goes away.
class TempFolder {
public:
    QString path() const { return QString::fromStdString(dir_.path()); }
    QString filePath(const QString& name) const { return QDir(path()).filePath(name); }
    const std::string& nativePath() const { return dir_.path(); }

private:
    TempDir dir_;
};

/// Makes a fresh temporary folder the working directory for the lifetime of the object.
class WorkingDirectory {
public:
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }

private:
    TempFolder dir_;
    WorkingFolder working_{dir_.nativePath()};
};

inline QByteArray readBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

inline bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

/// What a modal dialog showed before it was answered.
struct ShownDialog {
    QString className;                     ///< "QMessageBox" or "QFileDialog"
    QString title;                         ///< window title
    QString text;                          ///< message box text
    QString informativeText;               ///< message box informative text
    QMessageBox::StandardButtons buttons;  ///< message box buttons
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QStringList nameFilters;  ///< file dialog filters
    QString directory;        ///< file dialog start folder
};

using Answer = std::function<void(QWidget*)>;

/// Runs `trigger`. The modal dialogs that open meanwhile are recorded and answered in
/// turn by `answers`; any dialog beyond them is recorded and rejected, so a test with an
/// unexpected dialog fails on the count instead of hanging.
inline std::vector<ShownDialog> runAnswering(const std::function<void()>& trigger, std::vector<Answer> answers = {})
{
    std::vector<ShownDialog> shown;
    QPointer<QWidget> last;
    int ticksOpen = 0;  // how long an answered dialog has stayed open
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible())
            return;
        if (modal == last) {
            // The answer did not close it: give up after a second rather than hang.
            if (++ticksOpen == 100) {
                ShownDialog stuck;
                stuck.className = QStringLiteral("still open after its answer");
                shown.push_back(stuck);
                modal->close();
            }
            return;
        }
        last = modal;
        ticksOpen = 0;
        ShownDialog seen;
        seen.className = QString::fromLatin1(modal->metaObject()->className());
        seen.title = modal->windowTitle();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen.text = box->text();
            seen.informativeText = box->informativeText();
            seen.buttons = box->standardButtons();
            if (box->defaultButton() != nullptr)
                seen.defaultButton = box->standardButton(box->defaultButton());
        }
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            seen.nameFilters = dialog->nameFilters();
            seen.directory = dialog->directory().absolutePath();
        }
        const size_t index = shown.size();
        shown.push_back(seen);
        if (index < answers.size()) {
            answers[index](modal);
        } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        } else {
            modal->close();
        }
    });
    timer.start();
    trigger();
    timer.stop();
    return shown;
}

/// Answer: press one of a message box's buttons.
inline Answer press(QMessageBox::StandardButton which)
{
    return [which](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box != nullptr && box->button(which) != nullptr) {
            box->button(which)->click();
        } else {
            modal->close();
        }
    };
}

/// Answer: choose `path` in a file dialog, then run `afterwards` (still inside the dialog's
/// event loop, after the dialog accepted the choice).
inline Answer chooseFile(const QString& path, const std::function<void()>& afterwards = {})
{
    return [path, afterwards](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (dialog == nullptr) {
            modal->close();
            return;
        }
        // selectFile() leaves a focused name field alone, so type the path as a user would.
        dialog->selectFile(path);
        if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit"))
            name->setText(path);
        static_cast<QDialog*>(dialog)->accept();  // QFileDialog's own accept() checks the choice
        if (afterwards)
            afterwards();
    };
}

/// Answer: cancel a dialog.
inline Answer cancel()
{
    return [](QWidget* modal) {
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        } else {
            modal->close();
        }
    };
}
