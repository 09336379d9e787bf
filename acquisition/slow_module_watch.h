#pragma once

#include "module_line.h"

#include <QSet>
#include <QString>

// A module whose refreshes take more than half the period leaves the others too little of
// it and stretches the line's period without a word. Says so once per module, after three
// such refreshes in a row, and again only after it has kept within half the period.
class SlowModuleWatch
{
public:
    static constexpr int refreshesInARow = 3;

    // The warning to give now, or an empty text.
    QString note(const SweepRow &row, double periodMs);

private:
    QHash<int, int> slowInARow; // by address switch
    QSet<int> warned;
};
