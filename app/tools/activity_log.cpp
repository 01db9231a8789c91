#include "app/tools/activity_log.h"

#include <cstdio>
#include <ctime>

#include "app/tools/tool_failure.h"

namespace {

// "[12:34:56] run 3": how an entry's lines begin. Texts here are built by
// appending; GCC 12 at -O3 mistakes `"literal" + std::string` for an
// overlapping copy (-Wrestrict).
std::string Stamp(std::string_view what, int run = 0) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char clock[16];
    std::strftime(clock, sizeof clock, "[%H:%M:%S] ", &local);
    std::string text(clock);
    text += what;
    if (run > 0) {
        text += ' ';
        text += std::to_string(run);
    }
    return text;
}

}  // namespace

void ActivityLog::Trim() {
    // The newest entry always stays, even when it alone is over the limit.
    while (sizeBytes_ > limitBytes_ && entries_.size() > 1) {
        sizeBytes_ -= entries_.front().size();
        entries_.pop_front();
        ++droppedEntries_;
    }
}

void ActivityLog::NewEntry(std::string text) {
    pendingCarriageReturn_ = false;
    sizeBytes_ += text.size();
    entries_.push_back(std::move(text));
    Trim();
}

void ActivityLog::Append(std::string_view text) {
    if (entries_.empty()) NewEntry({});
    std::string& entry = entries_.back();
    const std::size_t before = entry.size();
    for (const char c : text) {
        if (pendingCarriageReturn_ && c != '\n') entry.push_back('\n');
        pendingCarriageReturn_ = c == '\r';
        if (c != '\r') entry.push_back(c);
    }
    sizeBytes_ += entry.size() - before;
    Trim();
}

void ActivityLog::BeginRun(const std::vector<std::string>& words) {
    ++runs_;
    std::string text = Stamp("run", runs_);
    text += ":\n";
    for (const std::string& word : words) {
        text += "    ";
        text += word;
        text += '\n';
    }
    NewEntry(std::move(text));
    lastRunTail_.clear();
    lastRunOutcome_.clear();
}

void ActivityLog::AppendOutput(std::string_view text) {
    Append(text);
    // The complaint is among the last lines a tool prints.
    constexpr std::size_t kTailBytes = 8192;
    lastRunTail_ += text;
    if (lastRunTail_.size() > 2 * kTailBytes)
        lastRunTail_.erase(0, lastRunTail_.size() - kTailBytes);
}

void ActivityLog::EndRun(std::string_view outcome) {
    // The outcome starts a line of its own.
    std::string line;
    if (pendingCarriageReturn_ ||
        (!entries_.empty() && !entries_.back().empty() && entries_.back().back() != '\n')) {
        line += '\n';
    }
    pendingCarriageReturn_ = false;
    line += Stamp("run", runs_);
    line += " ended: ";
    line += outcome;
    line += "\n\n";
    Append(line);
    lastRunOutcome_ = outcome;
}

std::string ActivityLog::LastRunFailure() const {
    std::string reason = ToolFailureLine(lastRunTail_);
    return reason.empty() ? lastRunOutcome_ : reason;
}

void ActivityLog::BeginSection(std::string_view title) {
    std::string text = "\n";
    text += Stamp(title);
    text += "\n";
    NewEntry(std::move(text));
    sectionEntry_ = droppedEntries_ + entries_.size();
}

void ActivityLog::AddToSectionHeading(std::string_view line) {
    // A heading that made room for newer entries is gone; the line then
    // stands where the log is now.
    if (sectionEntry_ == 0 || sectionEntry_ <= droppedEntries_) {
        AddLine("result", line);
        return;
    }
    std::string& heading = entries_[sectionEntry_ - droppedEntries_ - 1];
    const std::size_t before = heading.size();
    heading += "    ";
    heading += line;
    heading += '\n';
    sizeBytes_ += heading.size() - before;
}

void ActivityLog::AddLine(std::string_view source, std::string_view line) {
    std::string text = Stamp(source);
    text += ": ";
    text += line;
    text += "\n";
    NewEntry(std::move(text));
}

std::string ActivityLog::Text() const {
    std::string text;
    if (droppedEntries_ > 0) {
        text = '(';
        text += std::to_string(droppedEntries_);
        text += " earlier entries left out)\n";
    }
    for (const std::string& entry : entries_) text += entry;
    return text;
}

bool ActivityLog::SaveTo(const std::string& path) const {
    const std::string temporary = path + ".saving";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) return false;
    const std::string text = Text();
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (std::fclose(file) == 0 && written && std::rename(temporary.c_str(), path.c_str()) == 0) {
        return true;
    }
    std::remove(temporary.c_str());
    return false;
}
