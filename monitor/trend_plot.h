#pragma once

#include <qwt_plot.h>

#include <QPair>
#include <QStringList>
#include <QVector>

class QwtPlotCurve;
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

    // One curve per channel, named in the legend, where a click hides or shows it.
    void setChannels(const QVector<int> &channels, const QStringList &names);
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
    QwtPlotZoomer *zoomer = nullptr;
    int span = 3600;
    bool following = true;
    QPair<qint64, qint64> shownRange{0, 0};
};
