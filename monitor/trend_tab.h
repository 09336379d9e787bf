#pragma once

#include <QVector>
#include <QWidget>

#include <cmath>

class QComboBox;
class QDateTimeEdit;
class QStandardItemModel;
class QTableView;
class TrendHistory;
class TrendPlot;

// A channel of the trend: its number in the window, its module digit and channel (0..3)
// for the CSV columns, its name for the legend and its limits for the limit lines.
struct TrendChannel {
    int channel = 0;
    int selector = 0;
    int moduleChannel = 0;
    QString name;
    double low = NAN, high = NAN;
};

// The trend tab: the span (fixed, or from-to), the plot with its cursor, the statistics of
// the visible span (collapsible), a picture of it and its readings as CSV.
class TrendTab : public QWidget
{
    Q_OBJECT

public:
    TrendTab(const TrendHistory &history, QWidget *parent = nullptr);

    TrendPlot *plot() const { return trendPlot; }
    void setChannels(const QVector<TrendChannel> &channels);
    // Once per refresh of the readings.
    void refresh();
    void setSpanSeconds(int seconds);
    int spanSeconds() const;
    // The plotted channels' readings in the visible span, in korun-log's columns: time_utc,
    // module, then chN_temperature_C of the plotted channels; a module's row leaves the
    // columns of its channels not plotted empty, as it does a failed reading.
    bool exportCsv(const QString &path, QString &error) const;

signals:
    void spanChanged(int seconds);
    void message(const QString &text);

private:
    void updateStatistics();
    void chooseSpan();
    void saveImageAs();
    void exportCsvAs();

    const TrendHistory &history;
    TrendPlot *trendPlot = nullptr;
    QComboBox *span = nullptr;
    QDateTimeEdit *from = nullptr;
    QDateTimeEdit *to = nullptr;
    QWidget *freeSpan = nullptr;
    QStandardItemModel *statistics = nullptr;
    QTableView *statisticsView = nullptr;
    QVector<TrendChannel> shown;
};
