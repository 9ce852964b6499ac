#include "gui/mode_dialog.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString tr(const char* text) { return QCoreApplication::translate("ModeDialog", text); }

}  // namespace

int askRunMode(QWidget* parent, int preselected)
{
    const char* const names[] = {
        "1 = Register the scans (linear sequence)",
        "2 = Rotate the scans",
        "3 = Evaluate the RMS of the scans (linear sequence)",
        "4 = Run ALL: register, rotate, evaluate",
        "5 = RMS of two point files (from a terminal only)",
        "6 = Register the scans (site)",
        "7 = Evaluate the RMS of the scans (site)",
        "8 = Write the transformation matrix of each scan",
        "9 = Export geo-referenced scans as text files",
    };
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("dlgRunMode"));
    dialog.setWindowTitle(tr("Run in this window"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(tr("Run mode of the batch program:"), &dialog));
    auto* list = new QListWidget(&dialog);
    list->setObjectName(QStringLiteral("lstModes"));
    for (int mode = 1; mode <= 9; ++mode) {
        auto* item = new QListWidgetItem(tr(names[mode - 1]), list);
        item->setData(Qt::UserRole, mode);
        if (mode == 5) {
            item->setFlags(item->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable));
            item->setToolTip(tr("Mode 5 compares two point files named on the command line: "
                                "start the batch program from a terminal for it."));
        }
    }
    list->setCurrentRow(preselected >= 1 && preselected <= 9 && preselected != 5 ? preselected - 1 : 3);
    list->setMinimumWidth(list->sizeHintForColumn(0) + 2 * list->frameWidth() + 24);
    list->setMinimumHeight(9 * list->sizeHintForRow(0) + 2 * list->frameWidth());
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("Run"));
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
    if (dialog.exec() != QDialog::Accepted || list->currentItem() == nullptr)
        return -1;
    const int mode = list->currentItem()->data(Qt::UserRole).toInt();
    return mode == 5 ? -1 : mode;
}
