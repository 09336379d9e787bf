#pragma once

// A virtual serial line with korun-sim on the far end, for tests that talk to a module.

#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QVector>

struct SimRequest {
    int function;
    int address;
    int count;
    int slave; // bus address, 0 from a simulator that does not say
};

class SimLine : public QObject
{
    Q_OBJECT

public:
    explicit SimLine(QObject *parent = nullptr);
    ~SimLine() override;

    // Starts socat and the simulator with extra korun-sim arguments; false on failure.
    bool start(const QStringList &simArguments = {});
    void stop();
    // Ends socat: both ends of the line vanish, as when an adapter is pulled.
    void cutLine();

    // The path the front end opens.
    QString portName() const { return dir.path() + QStringLiteral("/port"); }

    // Sends a command and waits for its "ok"; false on "error" or no answer.
    bool command(const QString &text);
    QVector<quint16> dump(int address, int count);

    // Every request the simulator has logged so far, including lines still in the pipe.
    QVector<SimRequest> requests();
    void clearRequests()
    {
        requests(); // lines still in the pipe belong to what is cleared
        served.clear();
    }
    // Waits until at least `count` requests have been logged.
    bool waitForRequests(int count, int timeoutMs = 3000);

private:
    QString modulePath() const { return dir.path() + QStringLiteral("/module"); }
    void removeLinks();
    void readOutput();
    bool waitForLine(const QString &prefix, QString *line, int timeoutMs);

    QTemporaryDir dir;
    QProcess socat;
    QProcess sim;
    QStringList lines;
    QVector<SimRequest> served;
    QString partial;
};
