#include "trend_tab.h"

#include "trend_history.h"
#include "trend_plot.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMap>
#include <QPushButton>
#include <QSaveFile>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTableView>

TrendTab::TrendTab(const TrendHistory &history, QWidget *parent) : QWidget(parent), history(history)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    auto *row = new QHBoxLayout;
    span = new QComboBox;
    span->setObjectName(QStringLiteral("spanBox"));
    const std::pair<const char *, int> spans[] = {{"1 min", 60},     {"10 min", 600},       {"1 h", 3600},
                                                  {"6 h", 6 * 3600}, {"24 h", 24 * 3600}, {"From–to", 0}};
    for (const auto &[name, seconds] : spans)
        span->addItem(QString::fromUtf8(name), seconds);
    span->setCurrentIndex(1);
    from = new QDateTimeEdit(QDateTime::currentDateTime().addSecs(-3600));
    to = new QDateTimeEdit(QDateTime::currentDateTime());
    for (QDateTimeEdit *edit : {from, to})
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    auto *show = new QPushButton(QStringLiteral("Show"));
    freeSpan = new QWidget;
    auto *freeLayout = new QHBoxLayout(freeSpan);
    freeLayout->setContentsMargins(0, 0, 0, 0);
    for (QWidget *w : std::initializer_list<QWidget *>{from, new QLabel(QStringLiteral("to")), to, show})
        freeLayout->addWidget(w);
    freeSpan->hide();
    auto *image = new QPushButton(QStringLiteral("Save image…"));
    auto *csv = new QPushButton(QStringLiteral("Export CSV…"));
    auto *statisticsButton = new QPushButton(QStringLiteral("Statistics"));
    statisticsButton->setCheckable(true);
    statisticsButton->setChecked(true);
    for (QWidget *w : std::initializer_list<QWidget *>{new QLabel(QStringLiteral("Span:")), span, freeSpan})
        row->addWidget(w);
    row->addStretch();
    for (QWidget *w : std::initializer_list<QWidget *>{statisticsButton, image, csv})
        row->addWidget(w);
    layout->addLayout(row);

    trendPlot = new TrendPlot(history);
    trendPlot->setObjectName(QStringLiteral("trendPlot"));
    trendPlot->setToolTip(QStringLiteral("Drag to zoom, right click to zoom out, middle button to pan; "
                                         "click a name in the legend to hide or show its curve"));
    trendPlot->setSpanSeconds(600);
    statistics = new QStandardItemModel(0, 6, this);
    statistics->setHorizontalHeaderLabels({"Channel", "Minimum °C", "Maximum °C", "Mean °C", "Std. dev. °C",
                                           "Rate °C/min"});
    statisticsView = new QTableView;
    statisticsView->setObjectName(QStringLiteral("statisticsTable"));
    statisticsView->setModel(statistics);
    statisticsView->verticalHeader()->hide();
    statisticsView->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    auto *split = new QSplitter(Qt::Vertical);
    split->addWidget(trendPlot);
    split->addWidget(statisticsView);
    split->setStretchFactor(0, 1);
    split->setSizes({400, 110});
    layout->addWidget(split, 1);

    connect(span, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &TrendTab::chooseSpan);
    connect(show, &QPushButton::clicked, this, [this] {
        trendPlot->setRangeMs(from->dateTime().toMSecsSinceEpoch(), to->dateTime().toMSecsSinceEpoch());
    });
    connect(statisticsButton, &QPushButton::toggled, statisticsView, &QWidget::setVisible);
    connect(image, &QPushButton::clicked, this, &TrendTab::saveImageAs);
    connect(csv, &QPushButton::clicked, this, &TrendTab::exportCsvAs);
    connect(trendPlot, &TrendPlot::visibleRangeChanged, this, &TrendTab::updateStatistics);
}

void TrendTab::chooseSpan()
{
    const int seconds = span->currentData().toInt();
    freeSpan->setVisible(seconds == 0);
    if (seconds == 0) {
        const auto [a, b] = trendPlot->visibleRangeMs();
        from->setDateTime(QDateTime::fromMSecsSinceEpoch(a));
        to->setDateTime(QDateTime::fromMSecsSinceEpoch(b));
        return;
    }
    trendPlot->setSpanSeconds(seconds);
    emit spanChanged(seconds);
}

void TrendTab::setSpanSeconds(int seconds)
{
    const int found = span->findData(seconds);
    if (found > 0 || (found == 0 && seconds > 0))
        span->setCurrentIndex(found);
}

int TrendTab::spanSeconds() const
{
    return trendPlot->spanSeconds();
}

void TrendTab::setChannels(const QVector<TrendChannel> &channels)
{
    shown = channels;
    QVector<int> numbers;
    QStringList names;
    QVector<QPair<double, double>> limits;
    for (const TrendChannel &c : channels) {
        numbers << c.channel;
        names << c.name;
        limits << qMakePair(c.low, c.high);
    }
    trendPlot->setChannels(numbers, names, limits);
    updateStatistics();
}

void TrendTab::refresh()
{
    trendPlot->refresh();
    updateStatistics();
}

void TrendTab::updateStatistics()
{
    const auto [a, b] = trendPlot->visibleRangeMs();
    statistics->setRowCount(shown.size());
    for (int i = 0; i < shown.size(); ++i) {
        const TrendHistory::Statistics s = history.statistics(shown[i].channel, a, b);
        const double values[] = {s.minimum, s.maximum, s.mean, s.standardDeviation, s.ratePerMinute};
        statistics->setItem(i, 0, new QStandardItem(shown[i].name));
        for (int column = 0; column < 5; ++column)
            statistics->setItem(i, column + 1,
                                new QStandardItem(std::isnan(values[column])
                                                      ? QString()
                                                      // + 0.0 turns a rounded -0 into 0
                                                      : QString::number(std::round(values[column] * 1000) / 1000 + 0.0,
                                                                        'f', 3)));
    }
}

bool TrendTab::exportCsv(const QString &path, QString &error) const
{
    const auto [a, b] = trendPlot->visibleRangeMs();
    // (time, module digit) -> the temperatures of its four channels
    QMap<QPair<qint64, int>, QVector<QString>> rows;
    bool plottedChannel[4] = {};
    for (const TrendChannel &c : shown) {
        plottedChannel[c.moduleChannel] = true;
        for (const auto &[t, value] : history.readings(c.channel, a, b)) {
            QVector<QString> &cells = rows[{t, c.selector}];
            cells.resize(4);
            cells[c.moduleChannel] = std::isfinite(value) ? QString::number(double(value), 'f', 6) : QString();
        }
    }
    QStringList header{QStringLiteral("time_utc"), QStringLiteral("module")};
    for (int n = 0; n < 4; ++n)
        if (plottedChannel[n])
            header << QStringLiteral("ch%1_temperature_C").arg(n + 1);
    QByteArray text = header.join(QLatin1Char(',')).toUtf8() + '\n';
    for (auto it = rows.cbegin(); it != rows.cend(); ++it) {
        QStringList cells{QDateTime::fromMSecsSinceEpoch(it.key().first, Qt::UTC).toString(Qt::ISODateWithMs),
                          QString::number(it.key().second, 16).toUpper()};
        for (int n = 0; n < 4; ++n)
            if (plottedChannel[n])
                cells << it.value().value(n);
        text += cells.join(QLatin1Char(',')).toUtf8() + '\n';
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) < 0 || !file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

void TrendTab::saveImageAs()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save the trend as"), QStringLiteral("trend.png"),
                                                      QStringLiteral("PNG image (*.png);;SVG drawing (*.svg)"));
    if (path.isEmpty())
        return;
    emit message(trendPlot->saveImage(path) ? QStringLiteral("Trend saved to %1").arg(path)
                                            : QStringLiteral("Cannot save the trend to %1 (PNG or SVG)").arg(path));
}

void TrendTab::exportCsvAs()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export the visible span"),
                                                      QStringLiteral("trend.csv"), QStringLiteral("CSV (*.csv)"));
    QString error;
    if (path.isEmpty())
        return;
    emit message(exportCsv(path, error) ? QStringLiteral("Visible span exported to %1").arg(path)
                                        : QStringLiteral("Cannot export to %1: %2").arg(path, error));
}
