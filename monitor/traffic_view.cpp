#include "traffic_view.h"

#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QMutex>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QSet>
#include <QTextCursor>
#include <QVBoxLayout>

#include <atomic>

namespace {

const char trafficCategory[] = "qt.modbus.lowlevel";

// How long the rest of a cut reply is waited for. At 115200 baud the longest reply takes
// about 22 ms on the line, so only a reply that stopped short waits this long.
constexpr int heldReplyWaitMs = 500;

const QColor faultColor(0xB0, 0x20, 0x20);

// Messages are logged in whichever thread the client runs; the views live in the main
// thread and are reached through their event queues, which also run while a request
// waits for its reply in a nested event loop.
QMutex viewsMutex;
QSet<TrafficView *> &liveViews()
{
    static QSet<TrafficView *> views;
    return views;
}

QtMessageHandler previousHandler = nullptr;
QLoggingCategory::CategoryFilter previousFilter = nullptr;
// Whether the logging rules would let the frames through without the views.
std::atomic<bool> rulesShowTraffic{false};

// Runs after the rules on every category, again whenever the rules change, so a program
// that silences qt.modbus* still feeds the views. The rest of qt.modbus stays as the rules
// have it.
void trafficFilter(QLoggingCategory *category)
{
    if (previousFilter)
        previousFilter(category);
    if (qstrcmp(category->categoryName(), trafficCategory) == 0) {
        rulesShowTraffic = category->isDebugEnabled();
        category->setEnabled(QtDebugMsg, true);
    }
}

void trafficHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (context.category && qstrcmp(context.category, trafficCategory) == 0) {
        const QDateTime when = QDateTime::currentDateTime();
        {
            QMutexLocker lock(&viewsMutex);
            for (TrafficView *view : liveViews()) {
                QMetaObject::invokeMethod(
                    view, [view, message, when] { view->logMessage(message, when); }, Qt::QueuedConnection);
            }
        }
        if (type == QtDebugMsg && !rulesShowTraffic)
            return;
    }
    if (previousHandler)
        previousHandler(type, context, message);
}

} // namespace

TrafficView::TrafficView(QWidget *parent)
    : QWidget(parent)
    , lines(new QPlainTextEdit(this))
    , pauseButton(new QPushButton(tr("Pause"), this))
    , pauseState(new QLabel(this))
{
    lines->setReadOnly(true);
    lines->setUndoRedoEnabled(false);
    // Long replies run off to the right rather than push the next lines down.
    lines->setLineWrapMode(QPlainTextEdit::NoWrap);
    lines->setMaximumBlockCount(maximumLines);
    // Fixed pitch keeps the lines' fields under each other; some platforms' fixed system
    // font is not.
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (!QFontInfo(font).fixedPitch()) {
        font.setFamily(QStringLiteral("monospace"));
        font.setStyleHint(QFont::TypeWriter);
    }
    lines->setFont(font);

    pauseButton->setCheckable(true);
    pauseButton->setToolTip(tr("Stop adding lines; the frames that come meanwhile are counted"));
    auto *clearButton = new QPushButton(tr("Clear"), this);
    auto *saveButton = new QPushButton(tr("Save…"), this);
    connect(pauseButton, &QPushButton::toggled, this, &TrafficView::setPaused);
    connect(clearButton, &QPushButton::clicked, this, &TrafficView::clear);
    connect(saveButton, &QPushButton::clicked, this, &TrafficView::save);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(pauseButton);
    buttons->addWidget(clearButton);
    buttons->addWidget(saveButton);
    buttons->addWidget(pauseState, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(lines, 1);

    heldReplyTimer.setSingleShot(true);
    heldReplyTimer.setInterval(heldReplyWaitMs);
    connect(&heldReplyTimer, &QTimer::timeout, this, [this] { showLines(reader.flush(), heldSince); });

    QMutexLocker lock(&viewsMutex);
    liveViews().insert(this);
}

// Messages already queued for this view are dropped with it by QObject.
TrafficView::~TrafficView()
{
    QMutexLocker lock(&viewsMutex);
    liveViews().remove(this);
}

void TrafficView::installMessageHandler()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    previousHandler = qInstallMessageHandler(trafficHandler);
    previousFilter = QLoggingCategory::installFilter(trafficFilter);
}

void TrafficView::logMessage(const QString &message, const QDateTime &when)
{
    // A cut reply is shown with the time its last bytes came, before the next request.
    if (reader.holding()) {
        const std::optional<LoggedBytes> logged = parseTrafficMessage(message);
        if (logged && logged->request)
            showLines(reader.flush(), heldSince);
    }
    showLines(reader.read(message), when);
    if (reader.holding()) {
        heldSince = when;
        heldReplyTimer.start();
    } else {
        heldReplyTimer.stop();
    }
}

void TrafficView::showLines(const QVector<TrafficLine> &shown, const QDateTime &when)
{
    if (shown.isEmpty())
        return;
    if (paused) {
        skipped += shown.size();
        showPauseState();
        return;
    }
    // Follow the new lines only when the user has not scrolled back.
    QScrollBar *bar = lines->verticalScrollBar();
    const bool following = bar->value() == bar->maximum();
    const QString time = when.toString(QStringLiteral("HH:mm:ss.zzz"));
    for (const TrafficLine &line : shown)
        appendLine(time, line);
    if (following)
        bar->setValue(bar->maximum());
}

void TrafficView::appendLine(const QString &time, const TrafficLine &line)
{
    QTextCharFormat dim;
    dim.setForeground(palette().color(QPalette::Disabled, QPalette::Text));
    QTextCharFormat summary;
    if (line.faulty)
        summary.setForeground(faultColor);
    QTextCharFormat bytes = dim;
    if (lines->font().pointSizeF() > 0)
        bytes.setFontPointSize(lines->font().pointSizeF() * 0.85);

    QTextCursor cursor(lines->document());
    cursor.movePosition(QTextCursor::End);
    if (!lines->document()->isEmpty())
        cursor.insertBlock();
    cursor.insertText(time + QStringLiteral("  "), dim);
    cursor.insertText(line.summary, summary);
    if (!line.bytes.isEmpty())
        cursor.insertText(QStringLiteral("  ") + spacedHex(line.bytes), bytes);
}

void TrafficView::setPaused(bool pause)
{
    if (pause == paused)
        return;
    paused = pause;
    pauseButton->setChecked(pause);
    if (!paused && skipped > 0) {
        const QString note = skipped == 1 ? tr("1 line not shown while paused")
                                          : tr("%1 lines not shown while paused").arg(skipped);
        skipped = 0;
        showLines({{QStringLiteral("… ") + note, QByteArray(), false}}, QDateTime::currentDateTime());
    }
    showPauseState();
}

void TrafficView::showPauseState()
{
    if (!paused)
        pauseState->clear();
    else if (skipped == 0)
        pauseState->setText(tr("Paused"));
    else
        pauseState->setText(skipped == 1 ? tr("Paused: 1 new line not shown")
                                         : tr("Paused: %1 new lines not shown").arg(skipped));
}

void TrafficView::clear()
{
    lines->clear();
}

QString TrafficView::text() const
{
    return lines->toPlainText();
}

bool TrafficView::saveTo(const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QString all = text();
    if (!all.isEmpty())
        all += QLatin1Char('\n');
    file.write(all.toUtf8());
    return file.commit();
}

void TrafficView::save()
{
    const QString suggested = QStringLiteral("korun-traffic-%1.txt")
                                  .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    const QString path = QFileDialog::getSaveFileName(this, tr("Save the traffic"), suggested,
                                                      tr("Text files (*.txt);;All files (*)"));
    if (path.isEmpty())
        return;
    if (!saveTo(path))
        QMessageBox::warning(this, tr("Save the traffic"),
                             tr("%1 could not be written.").arg(QDir::toNativeSeparators(path)));
}
