// What the session's tool runs did, for the user who wants to know why a file
// failed: each run's command as the tool received it (its words, one to a
// line, so a path with blanks reads as it is and no quoting needs undoing),
// everything the tool printed, how it ended, and the conversion host's job
// lines. It lives in memory only; nothing is written unless the user saves
// it. Past its size limit the oldest entries make room.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

class ActivityLog {
public:
    static constexpr std::size_t kDefaultLimitBytes = 16u << 20;

    explicit ActivityLog(std::size_t limitBytes = kDefaultLimitBytes) : limitBytes_(limitBytes) {}

    // A tool run starts with these words (the program first).
    void BeginRun(const std::vector<std::string>& words);
    // What the running tool printed; a lone carriage return (a progress line
    // written over itself) becomes a line end.
    void AppendOutput(std::string_view text);
    // How the run ended ("exit code 1", "stopped", "could not be started").
    void EndRun(std::string_view outcome);
    // One line of another source, such as the conversion host's job file.
    void AddLine(std::string_view source, std::string_view line);
    // A heading for what follows (one input of a conversion run), and a line
    // put under that heading later, such as why the input failed, so the
    // reader finds it without reading every run of it.
    void BeginSection(std::string_view title);
    void AddToSectionHeading(std::string_view line);

    // Why the last run failed, in the tool's words (its complaint, else how
    // it ended); "" when no run has ended.
    std::string LastRunFailure() const;

    // The whole log as text.
    std::string Text() const;
    int RunCount() const { return runs_; }
    bool Empty() const { return entries_.empty(); }

    // Writes the log to `path` (through a temporary name, so a failed save
    // leaves an earlier file whole); false when it could not be written.
    bool SaveTo(const std::string& path) const;

private:
    void Append(std::string_view text);
    void NewEntry(std::string text);
    void Trim();

    std::size_t limitBytes_;
    std::deque<std::string> entries_;
    std::size_t sizeBytes_ = 0;
    std::size_t droppedEntries_ = 0;
    int runs_ = 0;
    bool pendingCarriageReturn_ = false;
    // The end of the last run's output and how it ended.
    std::string lastRunTail_;
    std::string lastRunOutcome_;
    // The entry that holds the current section's heading, counted from the
    // log's start (entries dropped included); none when 0.
    std::size_t sectionEntry_ = 0;
};
