#pragma once
// The plan of a run (an SVG drawing) shown whole, its proportions kept, in the middle of
// the widget; empty until a plan is loaded.

#include <QString>
#include <QWidget>

class QSvgRenderer;

class PlanView : public QWidget {
    Q_OBJECT

public:
    explicit PlanView(QWidget* parent = nullptr);

    /// Shows the drawing of `path`. False (and nothing shown) when it cannot be read.
    bool load(const QString& path);
    void clear();
    /// The file shown, or empty.
    QString shownFile() const { return file_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSvgRenderer* renderer_;
    QString file_;
};
