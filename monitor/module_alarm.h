#pragma once

struct SweepRow;

// The "no answer" alarm of one module, one for all its channels: raised by a refresh the
// module did not answer, cleared by the next one it answers (completely, or with an
// exception). A port that cannot be opened is the line's fault and changes nothing, nor
// does a sweep that did not ask the module.
class ModuleAlarm
{
public:
    // Follows the module's row of a sweep; true when the alarm was raised or cleared.
    bool update(const SweepRow &row);
    bool raised() const { return silent; }

private:
    bool silent = false;
};

inline constexpr char noAnswerText[] = "No answer";
