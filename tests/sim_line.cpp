#include "sim_line.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

SimLine::SimLine(QObject *parent)
    : QObject(parent)
{
    connect(&sim, &QProcess::readyReadStandardOutput, this, &SimLine::readOutput);
}

SimLine::~SimLine()
{
    stop();
}

bool SimLine::start(const QStringList &simArguments)
{
    const QString module = modulePath();
    removeLinks();
    socat.start(QStringLiteral("socat"), {QStringLiteral("pty,raw,echo=0,link=") + module,
                                          QStringLiteral("pty,raw,echo=0,link=") + portName()});
    if (!socat.waitForStarted(3000))
        return false;
    if (!QTest::qWaitFor([&] { return QFileInfo::exists(module) && QFileInfo::exists(portName()); }, 3000))
        return false;
    lines.clear();
    served.clear();
    sim.start(QStringLiteral(KORUN_SIM_PATH), QStringList{QStringLiteral("--device"), module} + simArguments);
    return sim.waitForStarted(3000) && waitForLine(QStringLiteral("ready"), nullptr, 3000);
}

void SimLine::stop()
{
    for (QProcess *process : {&sim, &socat}) {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(3000);
        }
    }
    removeLinks();
}

void SimLine::cutLine()
{
    socat.kill();
    socat.waitForFinished(3000);
    removeLinks();
}

// A killed socat leaves its links behind, pointing at pseudo-terminal numbers that the
// system hands out again, possibly to another test's line running beside this one.
void SimLine::removeLinks()
{
    QFile::remove(modulePath());
    QFile::remove(portName());
}

void SimLine::readOutput()
{
    partial += QString::fromLatin1(sim.readAllStandardOutput());
    int newline;
    while ((newline = partial.indexOf('\n')) >= 0) {
        const QString line = partial.left(newline);
        partial.remove(0, newline + 1);
        if (qEnvironmentVariableIsSet("KORUN_SIM_DEBUG"))
            qDebug("sim: %s", qPrintable(line));
        const QStringList words = line.split(' ');
        if (words.size() >= 4 && words[0] == QLatin1String("request"))
            served.append({words[1].toInt(nullptr, 16), words[2].toInt(nullptr, 16), words[3].toInt(),
                           words.value(4).toInt(nullptr, 16)});
        else
            lines.append(line);
    }
}

// Waits with the event loop running, so that a window under test keeps working meanwhile.
bool SimLine::waitForLine(const QString &prefix, QString *line, int timeoutMs)
{
    bool matched = false;
    const auto found = [&] {
        readOutput();
        for (int i = 0; i < lines.size(); ++i) {
            if (lines[i].startsWith(prefix) || lines[i].startsWith(QLatin1String("error"))) {
                const QString text = lines.takeAt(i);
                if (line)
                    *line = text;
                matched = text.startsWith(prefix);
                return true;
            }
        }
        return sim.state() == QProcess::NotRunning;
    };
    return QTest::qWaitFor(found, timeoutMs) && matched;
}

bool SimLine::command(const QString &text)
{
    sim.write(text.toLatin1() + '\n');
    return waitForLine(QStringLiteral("ok ") + text, nullptr, 3000);
}

QVector<quint16> SimLine::dump(int address, int count)
{
    const QString text = QStringLiteral("dump %1 %2").arg(address, 4, 16, QLatin1Char('0')).arg(count);
    sim.write(text.toLatin1() + '\n');
    QString line;
    QVector<quint16> values;
    if (!waitForLine(QStringLiteral("dump "), &line, 3000))
        return values;
    const QStringList words = line.split(' ');
    for (int i = 2; i < words.size(); ++i)
        values.append(quint16(words[i].toUInt(nullptr, 16)));
    waitForLine(QStringLiteral("ok ") + text, nullptr, 3000);
    return values;
}

// The simulator logs a request before it answers it, so once an answer has arrived its
// log line is in the pipe, though perhaps not yet in QProcess's buffer.
QVector<SimRequest> SimLine::requests()
{
    while (sim.state() == QProcess::Running && sim.waitForReadyRead(0)) {
    }
    readOutput();
    return served;
}

bool SimLine::waitForRequests(int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { readOutput(); return served.size() >= count; }, timeoutMs);
}
