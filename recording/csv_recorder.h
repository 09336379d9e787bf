#pragma once

#include <QDate>
#include <QFile>
#include <QString>

struct SweepRow;

// Rows in korun-log's CSV format (csv_format.h), each one flushed to the file system as it
// is written, so that a pulled cable or a killed process loses at most the row being
// written. A path with "%Y", "%m" or "%d" (dated_path.h) names one file per UTC day: a row
// of another day than the open file's goes to that day's file, which gets its own header,
// so that a recorder running for a year leaves files that can be read, moved and removed
// one day at a time.
class CsvRecorder
{
public:
    // Appends to `path`: a new or empty file gets the header (with the first row), one that begins with other
    // columns is refused (rows never end up under another program's), an unfinished last
    // line is ended first. An empty path, or "-", writes to standard output.
    bool open(const QString &path, QString &error);
    // False when the row could not be stored (disk full...); error() says why.
    bool write(const SweepRow &row);
    void close() { file.close(); }
    bool isOpen() const { return file.isOpen(); }
    QString path() const { return file.fileName(); }
    QString error() const { return lastError; }

private:
    bool openFile(const QString &path, QString &error);
    bool writeLine(const QString &line);

    QFile file;
    QString pattern; // the path given to open(), with its date conversions
    QDate day;       // of the open file, for a dated pattern; null otherwise
    QString lastError;
    bool headerDue = false; // written with the first row, so a full disk shows as a write error
};
