#pragma once

#include <QFile>
#include <QString>

struct SweepRow;

// Rows in korun-log's CSV format (csv_format.h), each one flushed to the file system as it
// is written, so that a pulled cable or a killed process loses at most the row being
// written.
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
    bool writeLine(const QString &line);

    QFile file;
    QString lastError;
    bool headerDue = false; // written with the first row, so a full disk shows as a write error
};
