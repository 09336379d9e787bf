#include "csv_file.h"

#include <QFile>

bool openCsvForAppend(QFile &file, const QString &path, const QString &header, bool &needsHeader,
                      QString &error)
{
    file.setFileName(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append)) {
        error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    needsHeader = file.size() == 0;
    if (needsHeader)
        return true;

    file.seek(0);
    const QByteArray firstLine = file.readLine().trimmed();
    if (firstLine != header.toUtf8()) {
        error = QStringLiteral("%1 holds other columns than korun-log writes; choose another file").arg(path);
        file.close();
        return false;
    }
    file.seek(file.size() - 1);
    char last = 0;
    file.getChar(&last);
    if (last != '\n' && file.write("\n", 1) != 1) {
        error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        file.close();
        return false;
    }
    return true;
}
