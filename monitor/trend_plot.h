#pragma once

#include "trend_points.h"

#include <qwt_plot.h>

#include <QPair>
#include <QSet>
#include <QStringList>
#include <QVector>

#include <cmath>
#include <vector>

class QwtPlotCurve;
class QwtPlotMarker;
class QwtPlotPicker;
class QwtPlotZoomer;
class TrendHistory;


// The trend of some channels over a span that ends now and moves on with every refresh,
// until the user zooms (drag a rectangle; right click goes back a step, Ctrl+right click
// all the way), pans (middle button, or Ctrl+left) or turns the wheel (time axis): the
// view then stays where the user put it until a zoom back to the start or setSpanSeconds().
// Each refresh draws from the history at most a few points per pixel column, whatever the
// span; a failed reading or a silence is a gap in the line.
class TrendPlot : public QwtPlot
{
    Q_OBJECT

public:
    explicit TrendPlot(const TrendHistory &history, QWidget *parent = nullptr);

    // One curve per channel, named in the legend, where a click hides or shows it; with
    // each channel's limits (low, high; NaN for none) as dashed lines of its colour.
    void setChannels(const QVector<int> &channels, const QStringList &names,
                     const QVector<QPair<double, double>> &limits = {});
    // A fixed span [fromMs, toMs] that does not follow now.
    void setRangeMs(qint64 fromMs, qint64 toMs);
    // What the vertical cursor reads at msecs: per channel, the reading nearest to it
    // within a few pixels (NaN for a failed one) and its time; time -1 when there is none.
    struct CursorReading {
        QString name;
        qint64 msecs = -1;
        float value = NAN;
    };
    QVector<CursorReading> readingsAt(qint64 msecs) const;
    // The cursor text for the mouse at msecs: the time and every curve's value.
    QString cursorText(qint64 msecs) const;
    // The last cursor text shown.
    QString lastCursorText() const { return shownCursor; }
    qint64 lastCursorMs() const { return shownCursorMs; }
    // PNG or SVG, by the file's suffix; false when it could not be written.
    bool saveImage(const QString &path, const QSize &pixels = QSize(1600, 900)) const;
    // 60..86400: the visible span, ending now; follows now again.
    void setSpanSeconds(int seconds);
    int spanSeconds() const { return span; }
    bool isFollowing() const { return following; }
    // Redraws from the history; once per refresh of the readings.
    void refresh();
    // msecs since the epoch, for statistics over what is shown
    QPair<qint64, qint64> visibleRangeMs() const;

signals:
    void visibleRangeChanged();

private:
    void redraw();
    void userMovedView();
    void zoomed();

    const TrendHistory &history;
    QVector<int> channels;
    QVector<QwtPlotCurve *> curves;
    QVector<QwtPlotMarker *> limitLines;
    std::vector<TrendPoints> pointsOf; // per curve
    QSet<int> hiddenChannels;
    QwtPlotPicker *cursor = nullptr;
    mutable QString shownCursor;
    mutable qint64 shownCursorMs = -1;
    QwtPlotZoomer *zoomer = nullptr;
    int span = 3600;
    bool following = true;
    QPair<qint64, qint64> shownRange{0, 0};
};
