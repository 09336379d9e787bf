#pragma once

#include <QString>

class QFile;

// Opens `path` for appending rows with `header`. A new or empty file needs the header
// (needsHeader); an existing one must begin with exactly this header, so that rows never
// end up under another program's columns; an unfinished last line is ended first.
bool openCsvForAppend(QFile &file, const QString &path, const QString &header, bool &needsHeader,
                      QString &error);
