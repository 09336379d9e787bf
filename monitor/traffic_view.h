#pragma once

// The bus traffic as it happens: one line per request and per reply, with the local time,
// what the frame means and its bytes.

#include "traffic_decoder.h"

#include <QDateTime>
#include <QTimer>
#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;

class TrafficView : public QWidget
{
    Q_OBJECT

public:
    // The last lines kept; older ones are dropped.
    static constexpr int maximumLines = 10000;

    explicit TrafficView(QWidget *parent = nullptr);
    ~TrafficView() override;

    // Makes the Modbus client log its frames and routes them to every TrafficView alive,
    // now or later. Other messages go to the handler that was installed before, as they
    // did; the frames too when the logging rules asked for them already. Call once, from
    // the main thread, before the first request; calling again does nothing.
    static void installMessageHandler();

    // Writes the lines shown to a text file; false when it cannot be written.
    bool saveTo(const QString &path);
    // The lines shown, as saveTo writes them.
    QString text() const;
    bool isPaused() const { return paused; }
    int skippedWhilePaused() const { return skipped; }

public slots:
    // One qt.modbus.lowlevel message, logged at `when`. Called by the message handler.
    void logMessage(const QString &message, const QDateTime &when);
    void setPaused(bool pause);
    void clear();
    // Asks for a file and saves to it.
    void save();

private:
    void showLines(const QVector<TrafficLine> &shown, const QDateTime &when);
    void appendLine(const QString &time, const TrafficLine &line);
    void showPauseState();

    TrafficReader reader;
    // Gives up on the rest of a cut reply when no more bytes come.
    QTimer heldReplyTimer;
    QDateTime heldSince;
    bool paused = false;
    int skipped = 0;

    QPlainTextEdit *lines;
    QPushButton *pauseButton;
    QLabel *pauseState;
};
