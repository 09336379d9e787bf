#include "trend_plot.h"

#include "trend_history.h"
#include "trend_points.h"

#include <qwt_date.h>
#include <qwt_date_scale_draw.h>
#include <qwt_date_scale_engine.h>
#include <qwt_legend.h>
#include <qwt_legend_label.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_picker_machine.h>
#include <qwt_plot_magnifier.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_renderer.h>
#include <qwt_plot_panner.h>
#include <qwt_plot_zoomer.h>
#include <qwt_scale_div.h>
#include <qwt_series_data.h>

#include <QDateTime>
#include <QFileInfo>
#include <QImage>
#include <QPainter>

#include <cmath>
#include <functional>

namespace {

// The points of one curve; its bounds leave out the points that only mark a gap.
class TrendSeries : public QwtPointSeriesData
{
public:
    using QwtPointSeriesData::QwtPointSeriesData;

    QRectF boundingRect() const override
    {
        if (d_boundingRect.width() >= 0)
            return d_boundingRect;
        double left = INFINITY, right = -INFINITY, low = INFINITY, high = -INFINITY;
        for (const QPointF &p : d_samples) {
            if (std::isnan(p.y()))
                continue;
            left = std::min(left, p.x());
            right = std::max(right, p.x());
            low = std::min(low, p.y());
            high = std::max(high, p.y());
        }
        if (left <= right)
            d_boundingRect = QRectF(left, low, right - left, high - low);
        return d_boundingRect;
    }
};

// A line broken wherever a point has no value; a reading alone between two gaps is a dot.
class GapCurve : public QwtPlotCurve
{
public:
    using QwtPlotCurve::QwtPlotCurve;

    void drawSeries(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap, const QRectF &canvasRect,
                    int from, int to) const override
    {
        if (to < 0)
            to = int(dataSize()) - 1;
        int start = from;
        for (int i = from; i <= to + 1; ++i) {
            if (i <= to && !std::isnan(sample(i).y()))
                continue;
            if (i - 1 > start) {
                QwtPlotCurve::drawSeries(painter, xMap, yMap, canvasRect, start, i - 1);
            } else if (i - 1 == start) {
                painter->save();
                QPen dot = pen();
                dot.setWidthF(3);
                painter->setPen(dot);
                drawDots(painter, xMap, yMap, canvasRect, start, start);
                painter->restore();
            }
            start = i + 1;
        }
    }
};

// A vertical line under the mouse, reading every plotted channel at its time.
class CursorPicker : public QwtPlotPicker
{
public:
    CursorPicker(TrendPlot *plot)
        : QwtPlotPicker(QwtPlot::xBottom, QwtPlot::yLeft, VLineRubberBand, AlwaysOn, plot->canvas()), plot(plot)
    {
        setStateMachine(new QwtPickerTrackerMachine);
        setRubberBandPen(QPen(QColor(0, 0, 0, 120), 1, Qt::DashLine));
    }

protected:
    QwtText trackerTextF(const QPointF &pos) const override
    {
        QwtText text(plot->cursorText(qint64(std::llround(pos.x()))));
        text.setRenderFlags(Qt::AlignLeft);
        text.setBackgroundBrush(QColor(255, 255, 255, 220));
        return text;
    }

private:
    TrendPlot *plot;
};

// The wheel stretches the time axis only: the temperatures keep the scale they had.
class TimeMagnifier : public QwtPlotMagnifier
{
public:
    TimeMagnifier(QWidget *canvas, std::function<void()> moved) : QwtPlotMagnifier(canvas), moved(std::move(moved))
    {
        setAxisEnabled(QwtPlot::yLeft, false);
        setMouseButton(Qt::NoButton); // the right button belongs to the zoomer
        setWheelFactor(1 / 0.9);      // wheel away from the user: closer in
    }

protected:
    void rescale(double factor) override
    {
        QwtPlotMagnifier::rescale(factor);
        moved();
    }

private:
    std::function<void()> moved;
};

// Hues a golden angle apart, in two brightnesses, so that neighbours never look alike.
QColor curveColour(int index)
{
    const int hue = int(std::fmod(index * 137.508, 360.0));
    return QColor::fromHsv(hue, index % 4 < 2 ? 255 : 170, index % 2 ? 150 : 215);
}

} // namespace

TrendPlot::TrendPlot(const TrendHistory &history, QWidget *parent) : QwtPlot(parent), history(history)
{
    setAutoReplot(false);
    setCanvasBackground(Qt::white);

    auto *timeLabels = new QwtDateScaleDraw(Qt::LocalTime);
    timeLabels->setDateFormat(QwtDate::Millisecond, QStringLiteral("hh:mm:ss.zzz"));
    timeLabels->setDateFormat(QwtDate::Second, QStringLiteral("hh:mm:ss"));
    timeLabels->setDateFormat(QwtDate::Minute, QStringLiteral("hh:mm"));
    timeLabels->setDateFormat(QwtDate::Hour, QStringLiteral("hh:mm"));
    timeLabels->setDateFormat(QwtDate::Day, QStringLiteral("ddd d MMM"));
    setAxisScaleDraw(xBottom, timeLabels);
    setAxisScaleEngine(xBottom, new QwtDateScaleEngine(Qt::LocalTime));
    setAxisTitle(yLeft, QStringLiteral("Temperature, \u00b0C"));

    auto *grid = new QwtPlotGrid;
    grid->setMajorPen(QColor(0, 0, 0, 45), 0, Qt::DotLine);
    grid->attach(this);

    auto *legend = new QwtLegend;
    legend->setDefaultItemMode(QwtLegendData::Checkable);
    insertLegend(legend, RightLegend);
    connect(legend, &QwtLegend::checked, this, [this](const QVariant &info, bool on, int) {
        if (QwtPlotItem *item = infoToItem(info)) {
            item->setVisible(on);
            const int i = curves.indexOf(static_cast<QwtPlotCurve *>(item));
            if (i >= 0 && !on)
                hiddenChannels.insert(channels[i]);
            else if (i >= 0)
                hiddenChannels.remove(channels[i]);
            redraw();
        }
    });

    zoomer = new QwtPlotZoomer(canvas(), false);
    zoomer->setMousePattern(QwtEventPattern::MouseSelect2, Qt::RightButton, Qt::ControlModifier);
    zoomer->setMousePattern(QwtEventPattern::MouseSelect3, Qt::RightButton);
    zoomer->setRubberBandPen(QPen(Qt::darkBlue));
    zoomer->setTrackerMode(QwtPicker::AlwaysOff); // the cursor reads the values
    cursor = new CursorPicker(this);
    connect(zoomer, &QwtPlotZoomer::zoomed, this, [this] { zoomed(); });

    // Middle button, and Ctrl+left for want of one.
    const QPair<Qt::MouseButton, Qt::KeyboardModifiers> panButtons[] = {{Qt::MiddleButton, Qt::NoModifier},
                                                                        {Qt::LeftButton, Qt::ControlModifier}};
    for (const auto &buttons : panButtons) {
        auto *panner = new QwtPlotPanner(canvas());
        panner->setMouseButton(buttons.first, buttons.second);
        connect(panner, &QwtPlotPanner::panned, this, [this] { userMovedView(); });
    }
    new TimeMagnifier(canvas(), [this] { userMovedView(); });

    refresh();
}

void TrendPlot::setChannels(const QVector<int> &list, const QStringList &names,
                            const QVector<QPair<double, double>> &limits)
{
    for (QwtPlotCurve *curve : qAsConst(curves)) {
        curve->detach();
        delete curve;
    }
    curves.clear();
    for (QwtPlotMarker *line : qAsConst(limitLines)) {
        line->detach();
        delete line;
    }
    limitLines.clear();
    channels = list;
    pointsOf.clear();
    for (int i = 0; i < list.size(); ++i)
        pointsOf.emplace_back(history);
    auto *legendWidget = qobject_cast<QwtLegend *>(legend());
    for (int i = 0; i < list.size(); ++i) {
        auto *curve = new GapCurve(i < names.size() ? names[i] : tr("Channel %1").arg(list[i] + 1));
        curve->setPen(curveColour(i), 1);
        curve->attach(this);
        curves.append(curve);
        for (double limit : {limits.value(i, {NAN, NAN}).first, limits.value(i, {NAN, NAN}).second}) {
            if (std::isnan(limit))
                continue;
            auto *line = new QwtPlotMarker(curve->title().text() + QStringLiteral(" limit"));
            line->setLineStyle(QwtPlotMarker::HLine);
            line->setLinePen(curveColour(i), 1, Qt::DashLine);
            line->setYValue(limit);
            line->setItemAttribute(QwtPlotItem::Legend, false);
            line->attach(this);
            limitLines.append(line);
        }
        if (legendWidget) {
            // A curve hidden by a click stays hidden while its channel is plotted.
            curve->setVisible(!hiddenChannels.contains(list[i]));
            if (auto *label = qobject_cast<QwtLegendLabel *>(legendWidget->legendWidget(itemToInfo(curve))))
                label->setChecked(curve->isVisible());
        }
    }
    redraw();
}

void TrendPlot::setSpanSeconds(int seconds)
{
    span = qBound(60, seconds, 24 * 3600);
    following = true;
    refresh();
}

void TrendPlot::setRangeMs(qint64 fromMs, qint64 toMs)
{
    following = false;
    setAxisScale(xBottom, double(fromMs), double(std::max(toMs, fromMs + 1000)));
    redraw();
    zoomer->setZoomBase(false); // right click comes back to this span
}

QVector<TrendPlot::CursorReading> TrendPlot::readingsAt(qint64 msecs) const
{
    const QwtScaleMap map = canvasMap(xBottom);
    // A few pixels either way, and never less than a few seconds.
    const qint64 reach = std::max<qint64>(3000, qint64(std::abs(map.invTransform(4) - map.invTransform(0))));
    QVector<CursorReading> found;
    for (int i = 0; i < curves.size(); ++i) {
        CursorReading reading;
        reading.name = curves[i]->title().text();
        for (const auto &[t, value] : history.readings(channels[i], msecs - reach, msecs + reach)) {
            if (reading.msecs < 0 || std::abs(t - msecs) < std::abs(reading.msecs - msecs)) {
                reading.msecs = t;
                reading.value = value;
            }
        }
        found.append(reading);
    }
    return found;
}

QString TrendPlot::cursorText(qint64 msecs) const
{
    QStringList lines{QDateTime::fromMSecsSinceEpoch(msecs).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))};
    for (const CursorReading &r : readingsAt(msecs)) {
        const QString value = r.msecs < 0 ? QStringLiteral("no reading")
            : std::isnan(r.value)         ? QStringLiteral("failed reading")
                                          : QStringLiteral("%1 \u00b0C").arg(double(r.value), 0, 'f', 2);
        lines << QStringLiteral("%1: %2").arg(r.name, value);
    }
    shownCursor = lines.join(QLatin1Char('\n'));
    shownCursorMs = msecs;
    return shownCursor;
}

bool TrendPlot::saveImage(const QString &path, const QSize &pixels) const
{
    const QString format = QFileInfo(path).suffix().toLower();
    if (format != QLatin1String("png") && format != QLatin1String("svg"))
        return false;
    QwtPlotRenderer renderer;
    renderer.setDiscardFlag(QwtPlotRenderer::DiscardBackground, false);
    const int dpi = 96;
    const QSizeF millimetres(pixels.width() * 25.4 / dpi, pixels.height() * 25.4 / dpi);
    renderer.renderDocument(const_cast<TrendPlot *>(this), path, format, millimetres, dpi);
    return QFileInfo(path).size() > 0;
}

void TrendPlot::refresh()
{
    if (following) {
        // Whole columns of whole msecs that move by one column at a time: a pixel's worth,
        // and the older columns stay as they were drawn (TrendPoints).
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        const qint64 columns = std::max(1, canvas()->contentsRect().width());
        const qint64 columnMs = std::max<qint64>(1, (qint64(span) * 1000 + columns - 1) / columns);
        const qint64 to = (now / columnMs + 1) * columnMs - 1;
        setAxisScale(xBottom, double(to + 1 - columns * columnMs), double(to));
    }
    redraw();
}

QPair<qint64, qint64> TrendPlot::visibleRangeMs() const
{
    const QwtScaleDiv &div = axisScaleDiv(xBottom);
    return {qint64(std::floor(std::min(div.lowerBound(), div.upperBound()))),
            qint64(std::ceil(std::max(div.lowerBound(), div.upperBound())))};
}

void TrendPlot::redraw()
{
    updateAxes(); // the x range just set, before the curves are cut to it
    const QPair<qint64, qint64> range = visibleRangeMs();
    const int columns = std::max(1, canvas()->contentsRect().width());
    double low = INFINITY, high = -INFINITY;
    for (int i = 0; i < curves.size(); ++i) {
        if (!curves[i]->isVisible())
            continue;
        const QVector<QPointF> points = pointsOf[i].points(channels[i], range.first, range.second, columns);
        for (const QPointF &p : points) {
            if (!std::isnan(p.y())) {
                low = std::min(low, p.y());
                high = std::max(high, p.y());
            }
        }
        curves[i]->setData(new TrendSeries(points));
    }
    if (following && low <= high) {
        const double margin = std::max(0.5, (high - low) * 0.05);
        setAxisScale(yLeft, low - margin, high + margin);
    }
    replot();
    if (following)
        zoomer->setZoomBase(false); // a zoom starts from, and a full zoom-out comes back to, now
    if (range != shownRange) {
        shownRange = range;
        emit visibleRangeChanged();
    }
}

void TrendPlot::userMovedView()
{
    // Pushed on the zoom stack, so that right clicks lead back to following now.
    const QwtScaleDiv &x = axisScaleDiv(xBottom), &y = axisScaleDiv(yLeft);
    const QRectF rect = QRectF(QPointF(x.lowerBound(), y.lowerBound()), QPointF(x.upperBound(), y.upperBound()))
                            .normalized();
    if (rect != zoomer->zoomRect())
        zoomer->zoom(rect); // zoomed() follows
    else
        redraw();
}

void TrendPlot::zoomed()
{
    following = zoomer->zoomRectIndex() == 0;
    refresh();
}
