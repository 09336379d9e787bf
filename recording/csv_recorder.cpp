#include "csv_recorder.h"

#include "csv_format.h"
#include "dated_path.h"
#include "module_line.h"

#include <cstdio>


bool CsvRecorder::open(const QString &path, QString &error)
{
    pattern = path;
    day = QDate();
    const bool dated = path != QLatin1String("-") && hasDatePattern(path);
    if (dated)
        day = QDateTime::currentDateTimeUtc().date();
    return openFile(dated ? datedPath(path, day) : path, error);
}

bool CsvRecorder::openFile(const QString &path, QString &error)
{
    file.close();
    lastError.clear();
    headerDue = true;
    if (path.isEmpty() || path == QLatin1String("-")) {
        if (file.open(stdout, QIODevice::WriteOnly))
            return true;
        error = QStringLiteral("cannot write standard output");
        return false;
    }
    file.setFileName(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append)) {
        error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    headerDue = file.size() == 0;
    if (headerDue)
        return true;

    file.seek(0);
    if (file.readLine().trimmed() != csvHeader().toUtf8()) {
        error = QStringLiteral("%1 holds other columns than korun-log writes; choose another file").arg(path);
        file.close();
        return false;
    }
    file.seek(file.size() - 1);
    char last = 0;
    file.getChar(&last);
    if (last != '\n' && !writeLine(QString())) {
        error = QStringLiteral("cannot write %1: %2").arg(path, lastError);
        file.close();
        return false;
    }
    return true;
}

bool CsvRecorder::write(const SweepRow &row)
{
    if (day.isValid()) {
        const QDateTime time = row.snapshot.time.isValid() ? row.snapshot.time : QDateTime::currentDateTimeUtc();
        const QDate rowDay = time.toUTC().date();
        QString error;
        if (rowDay != day && !openFile(datedPath(pattern, rowDay), error)) {
            lastError = error;
            return false;
        }
        day = rowDay;
    }
    if (headerDue && !writeLine(csvHeader()))
        return false;
    headerDue = false;
    return writeLine(csvRow(row.snapshot, rowStatus(row)));
}

bool CsvRecorder::writeLine(const QString &line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        lastError = file.errorString();
        return false;
    }
    return true;
}
