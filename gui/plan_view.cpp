#include "gui/plan_view.h"

#include <QPainter>
#include <QSvgRenderer>

PlanView::PlanView(QWidget* parent) : QWidget(parent), renderer_(new QSvgRenderer(this)) { }

bool PlanView::load(const QString& path)
{
    file_.clear();
    if (!renderer_->load(path) || !renderer_->isValid()) {
        renderer_->load(QByteArray());
        update();
        return false;
    }
    file_ = path;
    update();
    return true;
}

void PlanView::clear()
{
    file_.clear();
    renderer_->load(QByteArray());
    update();
}

void PlanView::paintEvent(QPaintEvent*)
{
    if (file_.isEmpty())
        return;
    const QSizeF size = renderer_->viewBoxF().size();
    if (size.isEmpty())
        return;
    // The largest rectangle of the drawing's proportions that the widget holds, centred.
    const QSizeF fitted = size.scaled(QSizeF(rect().size()), Qt::KeepAspectRatio);
    const QRectF target(QPointF((width() - fitted.width()) / 2.0, (height() - fitted.height()) / 2.0), fitted);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer_->render(&painter, target);
}
